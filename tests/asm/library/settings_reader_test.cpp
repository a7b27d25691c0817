// The plain settings reader against files QSettings itself wrote: every key and value the
// library or the workbench can store must read back as QSettings would read it.
#include <gtest/gtest.h>

#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdlib>

#include "driver/library_settings.h"

namespace {

struct Entry {
    const char* key;
    QVariant value;
    std::optional<std::string> expected;  // what the reader gives for key
};

TEST(SettingsReader, ReadsWhatQSettingsWrote) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<Entry> entries = {
        {"ASSEMBLEUR/LISTFLAG", QString("0"), "0"},
        {"ASSEMBLEUR/SECTION 9", QString("80A000"), "80A000"},
        {"ASSEMBLEUR/SECTION 15", QString(""), ""},
        {"KORVAN/LANGAGE", QString("ANGLAIS"), "ANGLAIS"},
        {"TopLevel", QString("in General"), "in General"},
        {"General/KEY", QString("a group called General"), "a group called General"},
        {"G/a%b=c;d", QString("odd key"), "odd key"},
        {"G/deep/er key", QString("nested"), "nested"},
        {"G/spaces", QString("  padded  "), "  padded  "},
        {"G/comma", QString("a,b"), "a,b"},
        {"G/quotes", QString("say \"hi\" \\ now"), "say \"hi\" \\ now"},
        {"G/at", QString("@home"), "@home"},
        {"G/controls", QString("l1\nl2\tend\r"), "l1\nl2\tend\r"},
        {"G/escapes", QString("\x1b[0m\x7f\x1f"), "\x1b[0m\x7f\x1f"},
        {"G/marks", QString("x;y=z#w"), "x;y=z#w"},
        {"G/accents", QString::fromUtf8("Syst\u00e8me \u20ac"), "Syst\u00e8me \u20ac"},
        {"G/list", QStringList{"a", "b"}, std::nullopt},
        {"G/number", 42, "42"},
    };
    const QString path = dir.filePath("store.conf");
    {
        QSettings store(path, QSettings::IniFormat);
        for (const Entry& e : entries) store.setValue(QString::fromUtf8(e.key), e.value);
        store.sync();
        ASSERT_EQ(store.status(), QSettings::NoError);
    }
    const qubrix::IniFile file(path.toStdString());
    for (const Entry& e : entries) EXPECT_EQ(file.value(e.key), e.expected) << e.key;
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
