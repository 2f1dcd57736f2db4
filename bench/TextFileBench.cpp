// Speed of the text-file layer: whole-file reading in each encoding, writing,
// and INI reads and writes on a file of typical size.
// Prints google-benchmark's table; bytes_per_second is the figure to compare.

#include "platform/CodePage.h"
#include "platform/PrivateProfile.h"
#include "platform/WideString.h"
#include "util/FileFunctions.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace KorrinUtilsFuns;

const std::filesystem::path &Folder()
{
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "tessaly-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

std::u16string Path(const char *name) { return WideString::FromUtf8((Folder() / name).string()); }

// About 1 MB of text: lines of Chinese and ASCII as the list files hold them.
std::u16string Lines()
{
    std::u16string text;
    for (int i = 0; text.size() < 500000; ++i)
        text += u"1____测试动作____" + WideString::FromInt(i) + u"____0____hello____成功____0____60____0____0____" +
            WideString::FromInt(i * 7919) + u"\r\n";
    return text;
}

void Read(benchmark::State &state, const char *name, bool unicode, UINT codePage)
{
    CodePage::SetActiveCodePageForTest(codePage);
    const std::u16string text = Lines();
    WriteTextFile(Path(name), text, unicode, false);
    const auto bytes = std::filesystem::file_size(Folder() / name);
    for (auto _ : state) {
        std::u16string read;
        ReadTextFile(Path(name), read, static_cast<int>(codePage));
        benchmark::DoNotOptimize(read.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    CodePage::SetActiveCodePageForTest(0);
}

void BM_ReadUtf16(benchmark::State &state) { Read(state, "utf16.txt", true, 65001); }
void BM_ReadUtf8(benchmark::State &state) { Read(state, "utf8.txt", false, 65001); }
void BM_ReadGbk(benchmark::State &state) { Read(state, "gbk.txt", false, 936); }

void BM_WriteUtf16(benchmark::State &state)
{
    const std::u16string text = Lines();
    for (auto _ : state)
        WriteTextFile(Path("w16.txt"), text, true, false);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * (text.size() * 2 + 2)));
}

void BM_WriteGbk(benchmark::State &state)
{
    CodePage::SetActiveCodePageForTest(936);
    const std::u16string text = Lines();
    for (auto _ : state)
        WriteTextFile(Path("wgbk.txt"), text, false, false);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    CodePage::SetActiveCodePageForTest(0);
}

std::u16string IniWithKeys()
{
    const std::u16string path = Path("bench.ini");
    std::u16string text = u"[MAIN]\r\n";
    for (int i = 0; i < 50; ++i)
        text += u"Key" + WideString::FromInt(i) + u"=" + WideString::FromInt(i * 3) + u"\r\n";
    WriteTextFile(path, text, true, false);
    return path;
}

void BM_IniReadInt(benchmark::State &state)
{
    const std::u16string path = IniWithKeys();
    for (auto _ : state)
        benchmark::DoNotOptimize(GetPrivateProfileIntW(u"main", u"key49", 0, path.c_str()));
}

void BM_IniWriteValue(benchmark::State &state)
{
    const std::u16string path = IniWithKeys();
    int i = 0;
    for (auto _ : state) {
        const std::u16string value = WideString::FromInt(i++);
        WritePrivateProfileStringW(u"MAIN", u"Key25", value.c_str(), path.c_str());
    }
}

} // namespace

BENCHMARK(BM_ReadUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IniReadInt)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IniWriteValue)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
