// The print service's report texts: a condition form of 30 fields turned into header texts and
// written into a frame, and 100 summary texts written and shown, as a print window does once
// per load. The counters give the cost per text.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/headless_services.h"
#include "print_service/host_context.h"

using namespace print;
using namespace print::service;

namespace {

// 30 fields: 10 date ranges (two fields each, one entry) and 10 plain fields, each labelled.
std::string conditionForm() {
    std::string s = "release 9;\ndatawindow(units=0)\ndetail(height=4000)\ntable(";
    std::string objects;
    int id = 0;
    for (int i = 0; i < 10; ++i) {
        for (const char* bound : {"MIN", "MAX"}) {
            ++id;
            s += "column=(type=date name=r" + std::to_string(i) + bound + " dbname=\"r" +
                 std::to_string(i) + bound + "\") ";
            objects += "column(band=detail id=" + std::to_string(id) + " x=\"300\" y=\"" +
                       std::to_string(id * 80) + "\" height=\"60\" width=\"300\" name=r" +
                       std::to_string(i) + bound + " tag=\"(" + bound + "@T.D" + std::to_string(i) +
                       ")\")\n";
        }
        objects += "text(band=detail text=\"日期" + std::to_string(i) +
                   "\" x=\"0\" y=\"0\" height=\"60\" width=\"300\" name=d" + std::to_string(i) +
                   "_t)\n";
    }
    for (int i = 0; i < 10; ++i) {
        ++id;
        s += "column=(type=char(20) name=f" + std::to_string(i) + " dbname=\"f" +
             std::to_string(i) + "\") ";
        objects += "column(band=detail id=" + std::to_string(id) + " x=\"300\" y=\"" +
                   std::to_string(id * 80) + "\" height=\"60\" width=\"300\" name=f" +
                   std::to_string(i) + ")\n";
        objects += "text(band=detail text=\"条件" + std::to_string(i) +
                   "\" x=\"0\" y=\"0\" height=\"60\" width=\"300\" name=f" + std::to_string(i) +
                   "_t)\n";
    }
    return s + ")\n" + objects;
}

const char* kFrame =
    "release 9;\ndatawindow(units=3)\nheader(height=2000)\nsummary(height=1000)\n"
    "footer(height=500)\ndetail(height=500)\ntable(column=(type=char(10) name=a dbname=\"a\"))\n"
    "text(band=header text=\"repname\" x=\"0\" y=\"300\" height=\"600\" width=\"20000\" "
    "name=st_repname)\n";

void BM_ConditionTextsIntoFrame(benchmark::State& state) {
    platform::HeadlessServices services;
    HostContext host(services);
    engine::DataStore form;
    std::string error;
    form.Create(conditionForm(), error);
    form.InsertRow(0);
    form.SetRow(1);
    for (int i = 0; i < 10; ++i) {
        form.SetItem(1, "r" + std::to_string(i) + "MIN", *Date::parse("2024-01-01"));
        form.SetItem(1, "f" + std::to_string(i), "值" + std::to_string(i));
    }
    long texts = 0;
    for (auto _ : state) {
        state.PauseTiming();
        engine::DataStore frame;
        frame.Create(kFrame, error);
        state.ResumeTiming();
        const std::string list = host.gnu_print.of_setdwtotext(form);
        host.gnu_print.of_settexttodw(frame, list, 3, 900);
        texts = 20;
        benchmark::DoNotOptimize(list);
    }
    state.counters["seconds_per_text"] =
        benchmark::Counter(static_cast<double>(state.iterations() * texts),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConditionTextsIntoFrame)->Unit(benchmark::kMicrosecond);

void BM_AccessoryTexts(benchmark::State& state) {
    platform::HeadlessServices services;
    HostContext host(services);
    host.gnu_print.is_mode = "B";
    for (int i = 0; i < 100; ++i)
        host.gnu_print.is_accessory.push_back("备注第" + std::to_string(i) + "条：O'Brien 供货");
    host.gnu_print.ii_accessory_count = 100;
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        engine::DataStore frame;
        frame.Create(kFrame, error);
        state.ResumeTiming();
        host.gnu_print.of_setaccessory(frame);
    }
    state.counters["seconds_per_text"] =
        benchmark::Counter(static_cast<double>(state.iterations() * 100),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AccessoryTexts)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
