// Tests of the command-line assembler: runs the real program on the cases of the data folder and
// checks its exit status, its standard output and error and the files it leaves behind.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "test_files.h"

namespace qubrix::test {
namespace {

namespace fs = std::filesystem;

// A case's fields: "arg A" (in order), "file NAME TEXT" in the run's folder, "setting STORE TEXT"
// (a settings file), then the checks "status N", "stdout TEXT" (else nothing), "stdout-starts
// TEXT", "stderr TEXT", "output NAME TEXT", "output-ends NAME TEXT", "present NAME" and "absent
// NAME". A usage error (status 2) must print the usage and run nothing.
class CliTest : public ::testing::TestWithParam<std::string> {
protected:
    std::string work(const std::string& name) const { return m_root / ("work/" + name); }

    void runCases(const std::string& file) {
        for (const Case& c : ReadCases(QUBRIX_CLI_DATA "/" + file)) {
            SCOPED_TRACE(c.name);
            fs::remove_all(m_root / "work");
            fs::remove_all(m_root / "config");
            fs::create_directories(m_root / "work");
            std::string cmd = "cd '" + m_root.path() + "work' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                              m_root.path() + "config' HOME='" + m_root.path() + "' '" QUBRIX_CLI "'";
            auto split = [](const std::string& value) {
                const std::size_t blank = std::min(value.find(' '), value.size());
                return std::pair{value.substr(0, blank), value.substr(std::min(blank + 1, value.size()))};
            };
            for (const auto& [key, value] : c.fields) {
                const auto [name, text] = split(value);
                if (key == "arg") cmd += " '" + value + "'";
                if (key == "file") WriteFile(work(name), text);
                if (key == "setting") WriteFile(m_root / ("config/hvl_mobr/" + name + ".conf"), text);
            }
            const int result = std::system((cmd + " >'" + (m_root / "out") + "' 2>'" + (m_root / "err") + "'").c_str());
            const std::string out = ReadFile(m_root / "out"), err = ReadFile(m_root / "err");
            const int status = std::stoi(c.get("status", "0"));
            EXPECT_EQ(WIFEXITED(result) ? WEXITSTATUS(result) : -1, status) << err;
            if (c.get("stdout-starts").empty()) {
                EXPECT_EQ(out, Replace(c.get("stdout"), "@VERSION@", QUBRIX_VERSION));
            }
            EXPECT_EQ(out.rfind(c.get("stdout-starts"), 0), 0u) << out;
            for (const std::string& want : c.all("stderr")) EXPECT_EQ(err, want);
            if (status == 2) {
                EXPECT_EQ(err.rfind("qubrix: ", 0), 0u) << err;
                EXPECT_NE(err.find("usage: qubrix"), std::string::npos);
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
