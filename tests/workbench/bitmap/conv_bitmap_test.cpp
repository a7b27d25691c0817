// QtTest of the "Convertisseur BMP vers C" dialog: choosing, previewing, exporting, failures.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "bmp_builder.h"
#include "conv_bitmap.h"

namespace {

// The dialog with its file dialog and message box replaced, so the flow runs unattended.
class ScriptedConvBitmap : public ConvBitmap {
public:
    using ConvBitmap::ConvBitmap;
    QString nextPath;          // what the file dialog answers; empty = cancelled
    QStringList messages;      // what was shown to the user
    int fileDialogs = 0;

protected:
    QString askBitmapPath() override {
        ++fileDialogs;
        return nextPath;
    }
    void showMessage(const QString& text) override { messages << text; }
};

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class ConvBitmapTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString writeBitmap(const QString& name, const std::vector<uint8_t>& bytes) {
        const QString path = m_dir.filePath(name);
        bmptest::writeFile(QFile::encodeName(path).toStdString(), bytes);
        return path;
    }
    static std::vector<uint8_t> displayPicture() {
        // 128 x 64 at one bit: left half black, right half white.
        std::vector<uint8_t> pixels(1024);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (i % 16) < 8 ? 0x00 : 0xFF;
        return bmptest::buildBmp({.width = 128, .height = 64, .bitsPerPixel = 1, .pixels = pixels});
    }
    template <class T>
    static T* child(QDialog& dlg, const char* name) {
        T* w = dlg.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void opensEmptyWithFrenchTexts() {
        ScriptedConvBitmap dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Convertisseur BMP vers C"));
        QCOMPARE(dlg.resourceName(), QStringLiteral("bitmap"));
        QCOMPARE(child<QLineEdit>(dlg, "nameField")->text(), QStringLiteral("bitmap"));
        QVERIFY(child<QLineEdit>(dlg, "pathField")->isReadOnly());
        QVERIFY(child<QLineEdit>(dlg, "pathField")->text().isEmpty());
        QVERIFY(!child<QPushButton>(dlg, "exportButton")->isEnabled());
        QCOMPARE(child<QPushButton>(dlg, "exportButton")->text(), QStringLiteral("Exporter"));
        QCOMPARE(child<QPushButton>(dlg, "fileButton")->text(), QStringLiteral("Fichier BMP"));
        QCOMPARE(child<QPushButton>(dlg, "closeButton")->text(), QStringLiteral("Fermer"));
        QVERIFY(!dlg.hasPreview());
        bool labelled = false;
        for (QLabel* label : dlg.findChildren<QLabel*>())
            labelled = labelled || label->text() == QStringLiteral("Nom de la ressource");
        QVERIFY(labelled);
    }

    void cancellingTheFileDialogChangesNothing() {
        ScriptedConvBitmap dlg;
        QTest::mouseClick(child<QPushButton>(dlg, "fileButton"), Qt::LeftButton);
        QCOMPARE(dlg.fileDialogs, 1);
        QVERIFY(dlg.filePath().isEmpty());
        QVERIFY(!child<QPushButton>(dlg, "exportButton")->isEnabled());
    }

    void choosingAFileShowsPathAndPreview() {
        const QString bmp = writeBitmap(QStringLiteral("ecran.bmp"), displayPicture());
        ScriptedConvBitmap dlg;
        dlg.nextPath = bmp;
        QTest::mouseClick(child<QPushButton>(dlg, "fileButton"), Qt::LeftButton);
        QCOMPARE(dlg.filePath(), bmp);
        QCOMPARE(child<QLineEdit>(dlg, "pathField")->text(), bmp);
        QVERIFY(child<QPushButton>(dlg, "exportButton")->isEnabled());
        QVERIFY(dlg.hasPreview());
        const QPixmap preview = child<QLabel>(dlg, "preview")->pixmap();
        QCOMPARE(preview.size(), QSize(128, 64));
        // The picture itself is shown: dark on the left of each byte column group, light on the right.
        const QImage shown = preview.toImage();
        QVERIFY(qGray(shown.pixel(2, 32)) != qGray(shown.pixel(125, 32)));

        // Choosing again replaces path and preview; cancelling afterwards keeps them.
        const QString other = writeBitmap(QStringLiteral("autre.bmp"), displayPicture());
        dlg.nextPath = other;
        QTest::mouseClick(child<QPushButton>(dlg, "fileButton"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(dlg, "pathField")->text(), other);
        dlg.nextPath.clear();
        QTest::mouseClick(child<QPushButton>(dlg, "fileButton"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(dlg, "pathField")->text(), other);
        QVERIFY(dlg.hasPreview());
    }

    void exportWritesTheCFileBesideTheBitmapAndCloses() {
        const QString bmp = writeBitmap(QStringLiteral("splash.bmp"), displayPicture());
        const QString out = m_dir.filePath(QStringLiteral("splash.c"));
        QFile::remove(out);
        ScriptedConvBitmap dlg;
        dlg.show();
        dlg.nextPath = bmp;
        QTest::mouseClick(child<QPushButton>(dlg, "fileButton"), Qt::LeftButton);
        QLineEdit* name = child<QLineEdit>(dlg, "nameField");
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("logo"));
        QCOMPARE(dlg.resourceName(), QStringLiteral("logo"));
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        QTest::mouseClick(child<QPushButton>(dlg, "exportButton"), Qt::LeftButton);
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.messages.isEmpty());
        const QByteArray text = readAll(out);
        QVERIFY(text.startsWith("\r\nchar logo[] = {\r\n0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, "
                                "0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, \r\n"));
        QVERIFY(text.endsWith("};\r\nstruct image i_logo={(short)0x400, 0x10, 0x40,logo};\r\n"));
        QCOMPARE(text.count("\r\n"), 64 + 4);
    }

    void damagedBitmapIsReportedAndWritesNothing() {
        auto bytes = displayPicture();
        bytes.resize(500);
        const QString bmp = writeBitmap(QStringLiteral("abime.bmp"), bytes);
        const QString out = m_dir.filePath(QStringLiteral("abime.c"));
        QFile::remove(out);
        ScriptedConvBitmap dlg;
        dlg.show();
        dlg.setFilePath(bmp);
        QSignalSpy accepted(&dlg, &QDialog::accepted);
        QTest::mouseClick(child<QPushButton>(dlg, "exportButton"), Qt::LeftButton);
        QCOMPARE(dlg.messages.size(), 1);
        QVERIFY2(dlg.messages.first().contains(QStringLiteral("tronqué")), qPrintable(dlg.messages.first()));
        QVERIFY(dlg.messages.first().contains(bmp));
        QVERIFY(!QFile::exists(out));
        // The export is abandoned; the dialog stays open for another file.
        QCOMPARE(accepted.count(), 0);
        QVERIFY(dlg.isVisible());
    }

    void invalidResourceNameIsReported() {
        const QString bmp = writeBitmap(QStringLiteral("nom.bmp"), displayPicture());
        ScriptedConvBitmap dlg;
        dlg.setFilePath(bmp);
        dlg.setResourceName(QStringLiteral("mon logo"));
        QVERIFY(!dlg.exportFile());
        QCOMPARE(dlg.messages.size(), 1);
        QVERIFY(dlg.messages.first().contains(QStringLiteral("\"mon logo\"")));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("nom.c"))));
    }

    void closeLeavesWithoutWriting() {
        const QString bmp = writeBitmap(QStringLiteral("ferme.bmp"), displayPicture());
        ScriptedConvBitmap dlg;
        dlg.show();
        dlg.setFilePath(bmp);
        QSignalSpy rejected(&dlg, &QDialog::rejected);
        QTest::mouseClick(child<QPushButton>(dlg, "closeButton"), Qt::LeftButton);
        QCOMPARE(rejected.count(), 1);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("ferme.c"))));
    }

    // The dialog as the main window opens it, with its real message box.
    void realMessageBoxShowsTheReason() {
        auto bytes = displayPicture();
        bmptest::put32(bytes, 14, 124);
        const QString bmp = writeBitmap(QStringLiteral("v5.bmp"), bytes);
        ConvBitmap dlg;
        dlg.show();
        dlg.setFilePath(bmp);
        QString seen;
        QTimer closer;
        connect(&closer, &QTimer::timeout, &closer, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = box->text();
                box->close();
            }
        });
        closer.start(20);
        QTest::mouseClick(child<QPushButton>(dlg, "exportButton"), Qt::LeftButton);
        closer.stop();
        QVERIFY2(seen.contains(QStringLiteral("124 octets")), qPrintable(seen));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("v5.c"))));
    }
};

QTEST_MAIN(ConvBitmapTest)
#include "conv_bitmap_test.moc"
