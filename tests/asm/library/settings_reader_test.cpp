// The plain settings reader against files QSettings itself wrote: every key and value the
// library or the workbench can store must read back as QSettings would read it.
#include <gtest/gtest.h>

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>

#include "driver/library_settings.h"

namespace {

TEST(SettingsReader, ReadsWhatQSettingsWrote) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // Text values, each read back as written.
    const std::vector<std::pair<std::string, std::string>> texts = {{"ASSEMBLEUR/LISTFLAG", "0"},
                                                                    {"ASSEMBLEUR/SECTION 9", "80A000"},
                                                                    {"ASSEMBLEUR/SECTION 15", ""},
                                                                    {"KORVAN/LANGAGE", "ANGLAIS"},
                                                                    {"TopLevel", "in General"},
                                                                    {"General/KEY", "a group called General"},
                                                                    {"G/a%b=c;d", "odd key"},
                                                                    {"G/deep/er key", "nested"},
                                                                    {"G/spaces", "  padded  "},
                                                                    {"G/comma", "a,b"},
                                                                    {"G/quotes", "say \"hi\" \\ now"},
                                                                    {"G/at", "@home"},
                                                                    {"G/controls", "l1\nl2\tend\r"},
                                                                    {"G/escapes", "\x1b[0m\x7f\x1f"},
                                                                    {"G/marks", "x;y=z#w"},
                                                                    {"G/accents", "Syst\u00e8me \u20ac"}};
    const QString path = dir.filePath("store.conf");
    {
        QSettings store(path, QSettings::IniFormat);
        for (const auto& [key, text] : texts) store.setValue(QString::fromUtf8(key), QString::fromUtf8(text));
        store.setValue("G/list", QStringList{"a", "b"});
        store.setValue("G/number", 42);
        store.sync();
        ASSERT_EQ(store.status(), QSettings::NoError);
    }
    const qubrix::IniFile file(path.toStdString());
    for (const auto& [key, text] : texts) EXPECT_EQ(file.value(key), text) << key;
    EXPECT_EQ(file.value("G/list"), std::nullopt);
    EXPECT_EQ(file.value("G/number"), "42");
    EXPECT_EQ(file.value("ASSEMBLEUR/MISSING"), std::nullopt);
    EXPECT_EQ(file.value("SECTION 9"), std::nullopt);

    const qubrix::IniFile missing(dir.filePath("none.conf").toStdString());
    EXPECT_EQ(missing.value("ASSEMBLEUR/LISTFLAG"), std::nullopt);
}

// The user's file comes first, where QSettings keeps it.
TEST(SettingsReader, FindsTheFileQSettingsUses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ::setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1);
    const std::vector<std::string> files = qubrix::SettingsFiles("hvl_mobr", "qubrix");
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files.front(), QSettings("hvl_mobr", "qubrix").fileName().toStdString());
}

}  // namespace
