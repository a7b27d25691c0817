// QtTest of the "Convertisseur BMP vers C" dialog: choosing, previewing, exporting, failures.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "../qt_test_support.h"
#include "bmp_builder.h"
#include "conv_bitmap.h"

namespace {

// The dialog with its file dialog replaced, so the flow runs unattended. Its message boxes are
// real: each one a test expects is answered, and any other fails the test (wbtest's guard).
class ScriptedConvBitmap : public ConvBitmap {
public:
    explicit ScriptedConvBitmap(bool english = false) : ConvBitmap(nullptr, english) {}
    QString nextPath;  // what the file dialog answers; empty = cancelled

protected:
    QString askBitmapPath() override { return nextPath; }
};

// 128 x 64 at one bit: in each row, the left half black and the right half white.
QByteArray displayPicture() {
    std::vector<uint8_t> pixels(1024);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = (i % 16) < 8 ? 0x00 : 0xFF;
    const auto bytes = bmptest::buildBmp({.width = 128, .height = 64, .bitsPerPixel = 1, .pixels = pixels});
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

template <class T> T* child(QDialog& dlg, const char* name) {
    T* w = dlg.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("no widget %s", name);
    return w;
}

void click(QDialog& dlg, const char* button) { QTest::mouseClick(child<QPushButton>(dlg, button), Qt::LeftButton); }

}  // namespace

class ConvBitmapTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString bitmap(const QString& name, const QByteArray& bytes = displayPicture()) {
        return wbtest::writeFile(m_dir.filePath(name), bytes);
    }

private slots:
    void init() { wbtest::resetWatchers(); }

    // The dialog opens without a file, and a cancelled choice changes nothing. A file that is no
    // sound bitmap is refused when chosen: its reason shown, no preview, Export disabled. A sound
    // file chosen next shows its path and picture and can be exported; choosing again replaces
    // them, and cancelling afterwards keeps them.
    void choosingFilesShowsSoundOnesAndRefusesDamagedOnes_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        // Which damage gives which reason is the reader's own test; here, that the reason is shown.
        QTest::newRow("truncated") << displayPicture().left(500) << "tronqué";
        QTest::newRow("empty file") << QByteArray() << "refus.bmp";
    }
    void choosingFilesShowsSoundOnesAndRefusesDamagedOnes() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        ScriptedConvBitmap dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Convertisseur BMP vers C"));
        QCOMPARE(child<QLineEdit>(dlg, "nameField")->text(), QStringLiteral("bitmap"));
        QLineEdit* path = child<QLineEdit>(dlg, "pathField");
        QVERIFY(path->isReadOnly());
        // The path shown, whether Export is enabled, whether a picture is previewed.
        const auto shown = [&] {
            return std::tuple(path->text(), child<QPushButton>(dlg, "exportButton")->isEnabled(), dlg.hasPreview());
        };
        dlg.show();
        click(dlg, "fileButton");  // cancelled
        QCOMPARE(shown(), std::tuple(QString(), false, false));

        dlg.nextPath = bitmap(QStringLiteral("refus.bmp"), bytes);
        QString seen;
        wbtest::answerBox(&seen);
        click(dlg, "fileButton");
        QVERIFY2(seen.contains(message), qPrintable(seen));
        QCOMPARE(shown(), std::tuple(dlg.nextPath, false, false));

        dlg.nextPath = bitmap(QStringLiteral("ecran.bmp"));
        click(dlg, "fileButton");
        QCOMPARE(dlg.filePath(), dlg.nextPath);
        QCOMPARE(shown(), std::tuple(dlg.nextPath, true, true));
        // The picture itself is shown: dark on the left, light on the right.
        const QImage picture = child<QLabel>(dlg, "preview")->pixmap().toImage();
        QCOMPARE(picture.size(), QSize(128, 64));
        QVERIFY(qGray(picture.pixel(2, 32)) != qGray(picture.pixel(125, 32)));

        const QString other = dlg.nextPath = bitmap(QStringLiteral("autre.bmp"));
        click(dlg, "fileButton");
        dlg.nextPath.clear();
        click(dlg, "fileButton");
        QCOMPARE(shown(), std::tuple(other, true, true));
    }

    // Export writes the C file beside the bitmap under the name typed and closes, saying where the
    // file went; a name that is no C identifier is refused, and Close leaves: both write nothing.
    void exportOrClose_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("refusal");  // part of the message shown; empty: none
        QTest::addColumn<QString>("written");  // the sentence saying where the file went; empty: none
        // clang-format off
        QTest::newRow("French") << false << "logo" << "exportButton" << "" << "Fichier C écrit : \"%1\".";
        QTest::newRow("English") << true << "logo" << "exportButton" << "" << "C file written: \"%1\".";
        QTest::newRow("invalid resource name") << false << "mon logo" << "exportButton" << "\"mon logo\"" << "";
        QTest::newRow("Close leaves") << false << "logo" << "closeButton" << "" << "";
        // clang-format on
    }
    void exportOrClose() {
        QFETCH(bool, english);
        QFETCH(QString, name);
        QFETCH(QString, button);
        QFETCH(QString, refusal);
        QFETCH(QString, written);
        ScriptedConvBitmap dlg(english);
        QCOMPARE(child<QPushButton>(dlg, "exportButton")->text(), english ? "Export" : "Exporter");
        QVERIFY(dlg.outputPath().isEmpty() && dlg.writtenMessage().isEmpty());
        dlg.show();
        const QString output = m_dir.filePath(QStringLiteral("splash.c"));
        QFile::remove(output);
        dlg.nextPath = bitmap(QStringLiteral("splash.bmp"));
        click(dlg, "fileButton");
        QLineEdit* field = child<QLineEdit>(dlg, "nameField");
        field->selectAll();
        QTest::keyClicks(field, name);
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        QString seen;
        if (!refusal.isEmpty()) wbtest::answerBox(&seen);
        click(dlg, qPrintable(button));
        QVERIFY2(seen.contains(refusal), qPrintable(seen));
        QCOMPARE(dlg.isVisible(), !refusal.isEmpty());
        QCOMPARE(accepted.count(), written.isEmpty() ? 0 : 1);
        QCOMPARE(QFile::exists(output), !written.isEmpty());
        if (written.isEmpty()) return;
        // The bytes are the converter's; here, that the chosen file and the typed name reached it.
        QCOMPARE(dlg.outputPath(), output);
        QVERIFY(wbtest::readFile(output).endsWith("};\r\nstruct image i_logo={(short)0x400, 0x10, 0x40,logo};\r\n"));
        QCOMPARE(dlg.writtenMessage(), written.arg(output));
    }
};

QTEST_MAIN(ConvBitmapTest)
#include "conv_bitmap_test.moc"
