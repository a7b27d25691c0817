// The source reader: the merged line stream with its file names and line numbers (line ends,
// upper-casing, includes found beside the file, in the working folder and whatever their case),
// and the open failures with the file and line that name them, nesting bounds included. The
// cases are in the data folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sstream>

#include "driver/source_reader.h"
#include "test_files.h"

namespace qubrix::test {
namespace {

// Makes the case's files: "file NAME TEXT", "chain N" and "fanout WIDTH DEPTH".
void Create(const TempDir& dir, const Case& c) {
    for (const auto& [key, value] : c.fields) {
        int width = 0, depth = -1, n = key == "chain" ? std::stoi(value) : -1;
        if (key == "fanout") std::istringstream(value) >> width >> depth;
        std::vector<std::pair<std::string, std::string>> files;
        if (key == "file")
            files.push_back(
                {value.substr(0, value.find(' ')), value.substr(std::min(value.find(' '), value.size() - 1) + 1)});
        for (int i = 0; i <= n; ++i)
            files.push_back({i ? "i" + std::to_string(i) + ".asm" : "main.asm",
                             i < n ? " include i" + std::to_string(i + 1) + ".asm\n" : "deep\n"});
        for (int level = 0; level <= depth; ++level) {
            std::string text;
            for (int i = 0; level < depth && i < width; ++i)
                text += " include l" + std::to_string(level + 1) + ".asm\n";
            files.push_back({level ? "l" + std::to_string(level) + ".asm" : "main.asm", text + " nop\n"});
        }
        for (const auto& [name, text] : files) {
            if (text == "<dir>")
                std::filesystem::create_directories(dir / name);
            else if (text == "<fifo>")
                ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
            else
                WriteFile(dir / name, text);
        }
    }
}

// The whole merged stream as "FILE N TEXT" lines, up to and including the line delivered with
// the end.
std::vector<std::string> Stream(Fichier& f, const TempDir& dir) {
    std::vector<std::string> out;
    for (bool end = false; !end && out.size() < 1000;) {
        std::string text, file;
        int line = 0;
        end = f.GetLine(text, file, line);
        file.erase(0, file.rfind(dir.path(), 0) == 0 ? dir.path().size() : 0);
        out.push_back(file + " " + std::to_string(line) + (text.empty() ? "" : " " + text));
    }
    return out;
}

// Every case of both files: the first failure FindOpenError reports (none without "fail") and,
// given its "line"s, the stream of both passes. The main source is the first file a case makes,
// else main.asm.
TEST(SourceReaderTest, MergedStreamAndOpenFailures) {
    const std::map<std::string, OpenFailure> reasons = {
        {"CannotOpen", OpenFailure::CannotOpen}, {"NotFound", OpenFailure::NotFound},
        {"NoFileName", OpenFailure::NoFileName}, {"TooDeep", OpenFailure::TooDeep},
        {"Cycle", OpenFailure::Cycle},           {"TooLarge", OpenFailure::TooLarge}};
    for (const std::string cases : {"/source_reader.txt", "/open_failures.txt"}) {
        for (const Case& c : ReadCases(QUBRIX_DRIVER_DATA + cases)) {
            SCOPED_TRACE(c.name);
            TempDir dir;
            Create(dir, c);
            const std::string main = c.has("file") ? c.get("file").substr(0, c.get("file").find(' ')) : "main.asm";
            Fichier f(dir / main, c.has("workdir") ? dir / c.get("workdir") : "");
            std::string file, wantFile, wantWhy;
            int line = -5, wantLine = 0;
            OpenFailure why = OpenFailure::None;
            ASSERT_EQ(f.FindOpenError(file, line, &why), c.has("fail"));
            std::istringstream(c.get("fail")) >> wantFile >> wantLine >> wantWhy;
            if (c.has("fail")) {
                EXPECT_EQ(file, wantFile[0] == '/' ? wantFile : dir / wantFile);
                EXPECT_EQ(line, wantLine);
                EXPECT_EQ(why, reasons.at(wantWhy));
            }
            if (!c.has("line")) continue;
            ASSERT_FALSE(f.openFailed());
            EXPECT_EQ(Stream(f, dir), c.all("line"));
            f.Rewind();
            EXPECT_EQ(Stream(f, dir), c.all("line")) << "the second pass reads the same stream";
        }
    }
}

}  // namespace
}  // namespace qubrix::test
