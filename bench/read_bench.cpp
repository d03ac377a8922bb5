// Import throughput: how many bytes of vCard text the reader turns into records per
// second. Run build/kova_bench; it writes its input into a temporary folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "base/utf16.h"
#include "kova/kova.h"

namespace {

std::string make_input(int contacts)
{
    std::string text;
    for (int i = 0; i < contacts; ++i) {
        text += "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lind;Maja;;Dr.;\r\nFN:Dr. Maja Lind\r\n"
                "ORG:Harbour Works;Design\r\nTEL;WORK;VOICE:+46 8 555 0100\r\n"
                "TEL;CELL:+46 70 555 0199\r\nEMAIL;INTERNET:maja.lind@example.org\r\n"
                "ADR;WORK:;;Kajgatan 4;Stockholm;;111 21;Sweden\r\n"
                "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Prefers calls before noon.=0D=0A=\r\n"
                "Caf=C3=A9 on Fridays, and a longer line of text to make the note realistic.\r\n"
                "X-IRMC-LUID:" + std::to_string(i) + "\r\nEND:VCARD\r\n";
    }
    return text;
}

void count_objects(uint32_t, ObjectRecord *, uint32_t, void *context)
{
    ++*static_cast<long *>(context);
}

void BM_ReadContacts(benchmark::State &state)
{
    std::string input = make_input(static_cast<int>(state.range(0)));
    char name[] = "/tmp/kova-bench-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0 || write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        state.SkipWithError("cannot write the input");
        return;
    }
    close(fd);
    std::u16string path = kova::base::utf8_to_utf16(name);
    long objects = 0;
    for (auto _ : state) {
        uint32_t rc = KOVA_ReadObjects(path.c_str(), count_objects, &objects);
        benchmark::DoNotOptimize(rc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(input.size()));
    state.counters["objects/s"] =
        benchmark::Counter(static_cast<double>(objects), benchmark::Counter::kIsRate);
    std::remove(name);
}
BENCHMARK(BM_ReadContacts)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
