#include "platform/services.h"

#include <array>

#include "common/text.h"

namespace print::platform {

namespace {

struct KeyNameEntry {
    KeyCode key;
    std::string_view name;
};

constexpr std::array kKeyNames{
    KeyNameEntry{KeyCode::Left, "Left"},
    KeyNameEntry{KeyCode::Right, "Right"},
    KeyNameEntry{KeyCode::Up, "Up"},
    KeyNameEntry{KeyCode::Down, "Down"},
    KeyNameEntry{KeyCode::Delete, "Delete"},
    KeyNameEntry{KeyCode::Escape, "Escape"},
    KeyNameEntry{KeyCode::Enter, "Enter"},
    KeyNameEntry{KeyCode::Tab, "Tab"},
    KeyNameEntry{KeyCode::Backspace, "Backspace"},
    KeyNameEntry{KeyCode::Home, "Home"},
    KeyNameEntry{KeyCode::End, "End"},
    KeyNameEntry{KeyCode::PageUp, "PageUp"},
    KeyNameEntry{KeyCode::PageDown, "PageDown"},
    KeyNameEntry{KeyCode::Insert, "Insert"},
    KeyNameEntry{KeyCode::Space, "Space"},
    KeyNameEntry{KeyCode::Control, "Control"},
    KeyNameEntry{KeyCode::Shift, "Shift"},
    KeyNameEntry{KeyCode::Alt, "Alt"},
};

}  // namespace

std::string_view keyName(KeyCode key) {
    static const std::array<std::string, 26> letters = [] {
        std::array<std::string, 26> out;
        for (int i = 0; i < 26; ++i) out[i] = std::string(1, static_cast<char>('A' + i));
        return out;
    }();
    static const std::array<std::string, 10> digits = [] {
        std::array<std::string, 10> out;
        for (int i = 0; i < 10; ++i) out[i] = std::string(1, static_cast<char>('0' + i));
        return out;
    }();
    static const std::array<std::string, 12> functions = [] {
        std::array<std::string, 12> out;
        for (int i = 0; i < 12; ++i) out[i] = "F" + std::to_string(i + 1);
        return out;
    }();
    const int k = static_cast<int>(key);
    if (key >= KeyCode::A && key <= KeyCode::Z) return letters[k - static_cast<int>(KeyCode::A)];
    if (key >= KeyCode::Num0 && key <= KeyCode::Num9)
        return digits[k - static_cast<int>(KeyCode::Num0)];
    if (key >= KeyCode::F1 && key <= KeyCode::F12)
        return functions[k - static_cast<int>(KeyCode::F1)];
    for (const auto& entry : kKeyNames)
        if (entry.key == key) return entry.name;
    return "";
}

KeyCode keyFromName(std::string_view name) {
    if (name.size() == 1) {
        const char c = name[0];
        if (c >= 'a' && c <= 'z')
            return static_cast<KeyCode>(static_cast<int>(KeyCode::A) + (c - 'a'));
        if (c >= 'A' && c <= 'Z')
            return static_cast<KeyCode>(static_cast<int>(KeyCode::A) + (c - 'A'));
        if (c >= '0' && c <= '9')
            return static_cast<KeyCode>(static_cast<int>(KeyCode::Num0) + (c - '0'));
    }
    if (name.size() >= 2 && (name[0] == 'F' || name[0] == 'f')) {
        if (auto n = parseInteger(name.substr(1)); n && *n >= 1 && *n <= 12)
            return static_cast<KeyCode>(static_cast<int>(KeyCode::F1) + (*n - 1));
    }
    for (const auto& entry : kKeyNames)
        if (iequals(entry.name, name)) return entry.key;
    if (iequals(name, "Esc")) return KeyCode::Escape;
    if (iequals(name, "Del")) return KeyCode::Delete;
    if (iequals(name, "Ctrl")) return KeyCode::Control;
    return KeyCode::None;
}

std::string MessageBoxRecord::describe() const {
    std::string shown;
    for (char c : text) {
        if (c == '\n')
            shown += "\\n";
        else if (c != '\r')
            shown += c;
    }
    return title + " | " + shown + " | " + std::string(iconName(icon)) + " | " +
           std::string(buttonsName(buttons)) + " -> " + std::to_string(answer);
}

int buttonCount(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return 1;
        case MessageButtons::OkCancel:
        case MessageButtons::YesNo:
        case MessageButtons::RetryCancel:
            return 2;
        case MessageButtons::YesNoCancel:
        case MessageButtons::AbortRetryIgnore:
            return 3;
    }
    return 1;
}

std::string_view iconName(Icon icon) {
    switch (icon) {
        case Icon::None:
            return "None!";
        case Icon::Information:
            return "Information!";
        case Icon::Exclamation:
            return "Exclamation!";
        case Icon::StopSign:
            return "StopSign!";
        case Icon::Question:
            return "Question!";
    }
    return "None!";
}

std::string_view buttonsName(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return "OK!";
        case MessageButtons::OkCancel:
            return "OKCancel!";
        case MessageButtons::YesNo:
            return "YesNo!";
        case MessageButtons::YesNoCancel:
            return "YesNoCancel!";
        case MessageButtons::RetryCancel:
            return "RetryCancel!";
        case MessageButtons::AbortRetryIgnore:
            return "AbortRetryIgnore!";
    }
    return "OK!";
}

}  // namespace print::platform
