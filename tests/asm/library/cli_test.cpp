// Tests of the command-line assembler: runs the real program on the cases of the data folder and
// checks its exit status, its standard output and error and the files it leaves behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// A case's fields: "arg A" (in order), "file NAME TEXT" in the run's folder, "setting STORE TEXT"
// (a settings file), then the checks "status N", "stdout TEXT" (else nothing), "stdout-starts
// TEXT", "stderr TEXT", "output NAME TEXT", "output-ends NAME TEXT", "present NAME" and "absent
// NAME". A usage error (status 2) must print the usage and run nothing.
class CliTest : public ::testing::TestWithParam<std::string> {
protected:
    std::string work(const std::string& name) const { return m_root / ("work/" + name); }

    Result run(const std::vector<std::string>& args) {
        fs::create_directories(m_root / "work");
        std::string cmd = "cd '" + m_root.path() + "work' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                          m_root.path() + "config' HOME='" + m_root.path() + "' '" QUBRIX_CLI "'";
        for (const std::string& a : args) cmd += " '" + a + "'";
        cmd += " >'" + (m_root / "stdout") + "' 2>'" + (m_root / "stderr") + "'";
        const int status = std::system(cmd.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(m_root / "stdout"), ReadFile(m_root / "stderr")};
    }

    void runCases(const std::string& file) {
        for (const Case& c : ReadCases(QUBRIX_CLI_DATA "/" + file)) {
            SCOPED_TRACE(c.name);
            fs::remove_all(m_root / "work");
            fs::remove_all(m_root / "config");
            std::vector<std::string> args;
            auto split = [](const std::string& value) {
                const std::size_t blank = std::min(value.find(' '), value.size());
                return std::pair{value.substr(0, blank), value.substr(std::min(blank + 1, value.size()))};
            };
            for (const auto& [key, value] : c.fields) {
                const auto [name, text] = split(value);
                if (key == "arg") args.push_back(value);
                if (key == "file") WriteFile(work(name), text);
                if (key == "setting") WriteFile(m_root / ("config/hvl_mobr/" + name + ".conf"), text);
            }
            const Result r = run(args);
            const int status = std::stoi(c.get("status", "0"));
            EXPECT_EQ(r.status, status) << r.err;
            if (c.get("stdout-starts").empty()) {
                EXPECT_EQ(r.out, Replace(c.get("stdout"), "@VERSION@", QUBRIX_VERSION));
            }
            EXPECT_EQ(r.out.rfind(c.get("stdout-starts"), 0), 0u) << r.out;
            for (const std::string& err : c.all("stderr")) EXPECT_EQ(r.err, err);
            if (status == 2) {
                EXPECT_EQ(r.err.rfind("qubrix: ", 0), 0u) << r.err;
                EXPECT_NE(r.err.find("usage: qubrix"), std::string::npos);
                EXPECT_FALSE(fs::exists(work("message.txt"))) << "a usage error must not run";
            }
            for (const std::string& name : c.all("present")) EXPECT_TRUE(fs::exists(work(name))) << name;
            for (const std::string& name : c.all("absent")) EXPECT_FALSE(fs::exists(work(name))) << name;
            for (const std::string& output : c.all("output")) {
                const auto [name, text] = split(output);
                EXPECT_EQ(ReadFile(work(name)), text) << name;
            }
            for (const std::string& output : c.all("output-ends")) {
                const auto [name, text] = split(output);
                EXPECT_TRUE(ReadFile(work(name)).ends_with(text)) << name;
            }
        }
    }

    TempDir m_root;
};

TEST_P(CliTest, Cases) { runCases(GetParam() + ".txt"); }

INSTANTIATE_TEST_SUITE_P(Files, CliTest, ::testing::Values("exit_status", "standard_error", "output_files", "help"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace qubrix::test
