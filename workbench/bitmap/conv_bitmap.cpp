// The "Convertisseur BMP vers C" dialog: choose a bitmap, preview it, export it as C.
#include "conv_bitmap.h"

#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>

#include "c_export.h"
#include "shell/dialog_fit.h"

namespace {

// The dialog's texts, French then English.
struct Words {
    const char* title;
    const char* fileButton;
    const char* exportButton;
    const char* closeButton;
    const char* nameLabel;
};
constexpr Words kFrench{"Convertisseur BMP vers C", "Fichier BMP", "Exporter", "Fermer", "Nom de la ressource"};
constexpr Words kEnglish{"BMP to C converter", "BMP file", "Export", "Close", "Resource name"};

// String 146, "bitmap (*.bmp)|*.bmp|", in the file dialog's filter syntax.
const char* const kFilter = "bitmap (*.bmp)";

const Words& words(bool english) { return english ? kEnglish : kFrench; }

korvan::bitmap::MessageLanguage messageLanguage(bool english) {
    return english ? korvan::bitmap::MessageLanguage::English : korvan::bitmap::MessageLanguage::French;
}

}  // namespace

ConvBitmap::ConvBitmap(QWidget* parent, bool english) : QDialog(parent), m_english(english) {
    const Words& w = words(english);
    setWindowTitle(QString::fromUtf8(w.title));

    m_pathField = new QLineEdit(this);
    m_pathField->setObjectName(QStringLiteral("pathField"));
    m_pathField->setReadOnly(true);

    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setFrameShape(QFrame::Box);
    m_preview->setAlignment(Qt::AlignCenter);
    const int frame = 2 * m_preview->frameWidth();
    m_preview->setFixedSize(kPreviewWidth + frame, kPreviewHeight + frame);

    m_fileButton = new QPushButton(QString::fromUtf8(w.fileButton), this);
    m_fileButton->setObjectName(QStringLiteral("fileButton"));
    m_exportButton = new QPushButton(QString::fromUtf8(w.exportButton), this);
    m_exportButton->setObjectName(QStringLiteral("exportButton"));
    m_exportButton->setEnabled(false);
    m_exportButton->setDefault(true);
    m_closeButton = new QPushButton(QString::fromUtf8(w.closeButton), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setAutoDefault(false);

    auto* nameLabel = new QLabel(QString::fromUtf8(w.nameLabel), this);
    m_nameField = new QLineEdit(QString::fromLatin1(korvan::bitmap::kDefaultResourceName), this);
    m_nameField->setObjectName(QStringLiteral("nameField"));
    nameLabel->setBuddy(m_nameField);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_pathField, 0, 0, 1, 3);
    layout->addWidget(m_preview, 1, 0, 3, 1);
    layout->addWidget(m_fileButton, 1, 2);
    layout->addWidget(m_exportButton, 2, 2);
    layout->addWidget(nameLabel, 4, 0);
    layout->addWidget(m_nameField, 4, 1, 1, 2);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(m_closeButton);
    layout->addLayout(closeRow, 5, 0, 1, 3);
    layout->setColumnStretch(1, 1);

    // The path field shows a path of a usual length whole; the window shows its title whole.
    korvan::shell::fitLineEdit(m_pathField, QString(), 48);
    korvan::shell::fitTitle(this);

    connect(m_fileButton, &QPushButton::clicked, this, &ConvBitmap::chooseFile);
    connect(m_exportButton, &QPushButton::clicked, this, &ConvBitmap::exportFile);
    connect(m_closeButton, &QPushButton::clicked, this, &ConvBitmap::reject);
}

void ConvBitmap::setFilePath(const QString& path) {
    m_filePath = path;
    m_pathField->setText(path);
    korvan::shell::fitLineEdit(m_pathField, path, 48);
    // The file is checked as the export will check it, so that a damaged bitmap is reported
    // now, shows no preview and cannot be exported. The preview comes from the bytes checked.
    const korvan::bitmap::LoadedBitmap loaded = korvan::bitmap::loadBitmap(QFile::encodeName(path).toStdString());
    m_exportButton->setEnabled(loaded.check.ok());
    if (!loaded.check.ok()) {
        m_preview->setPixmap(QPixmap());
        m_preview->setText(QStringLiteral("?"));
        korvan::bitmap::ExportResult refused;
        refused.status = korvan::bitmap::ExportStatus::BadBitmap;
        refused.bitmap = loaded.check;
        refused.bitmapPath = QFile::encodeName(path).toStdString();
        showMessage(QString::fromStdString(korvan::bitmap::exportMessage(refused, messageLanguage(m_english))));
        return;
    }
    const QImage image = QImage::fromData(loaded.bytes.data(), static_cast<int>(loaded.bytes.size()), "BMP");
    if (image.isNull()) {
        m_preview->setPixmap(QPixmap());
        m_preview->setText(QStringLiteral("?"));
        return;
    }
    m_preview->setText(QString());
    m_preview->setPixmap(QPixmap::fromImage(
        image.scaled(kPreviewWidth, kPreviewHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

QString ConvBitmap::resourceName() const { return m_nameField->text(); }

void ConvBitmap::setResourceName(const QString& name) { m_nameField->setText(name); }

bool ConvBitmap::hasPreview() const { return !m_preview->pixmap().isNull(); }

void ConvBitmap::chooseFile() {
    const QString path = askBitmapPath();
    if (!path.isEmpty()) setFilePath(path);
}

bool ConvBitmap::exportFile() {
    const QString path = m_pathField->text();
    if (path.isEmpty()) return false;
    const auto result =
        korvan::bitmap::exportBitmap(QFile::encodeName(path).toStdString(), resourceName().toStdString());
    const QString message = QString::fromStdString(korvan::bitmap::exportMessage(result, messageLanguage(m_english)));
    if (!result.ok()) {
        showMessage(message);
        return false;
    }
    m_outputPath = QFile::decodeName(result.outputPath.c_str());
    m_writtenMessage = message;
    accept();
    return true;
}

QString ConvBitmap::askBitmapPath() {
    return QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromLatin1(kFilter));
}

void ConvBitmap::showMessage(const QString& text) { QMessageBox::warning(this, windowTitle(), text); }
