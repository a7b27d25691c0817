// The "Convertisseur BMP vers C" dialog: choose a bitmap, preview it, export it as C.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// Modal dialog over the converter of korvan::bitmap, in French or in English.
class ConvBitmap : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPreviewWidth = 128;
    static constexpr int kPreviewHeight = 64;

    explicit ConvBitmap(QWidget* parent = nullptr, bool english = false);

    // Takes `path` as the chosen bitmap, as a confirmed file dialog does: shows the path, checks
    // the file, then enables "Exporter" and previews the picture, or, for a file that is no
    // sound bitmap, shows why and leaves "Exporter" disabled.
    void setFilePath(const QString& path);
    QString filePath() const { return m_filePath; }

    QString resourceName() const;
    void setResourceName(const QString& name);

    // True when the chosen file could be loaded as a picture for the preview.
    bool hasPreview() const;

    // "Fichier BMP": asks for a bitmap; cancelling changes nothing.
    void chooseFile();
    // "Exporter": writes the C file beside the bitmap and closes the dialog; on failure shows
    // why and stays open. Returns true when the file was written.
    bool exportFile();
    // The C file written by the last export, and the sentence that tells the user where it
    // went; empty before an export succeeded.
    QString outputPath() const { return m_outputPath; }
    QString writtenMessage() const { return m_writtenMessage; }

protected:
    // The open-file dialog; returns the chosen path, or an empty string when cancelled.
    virtual QString askBitmapPath();
    // Shows a failure to the user.
    virtual void showMessage(const QString& text);

private:
    bool m_english;
    QString m_filePath;
    QString m_outputPath;
    QString m_writtenMessage;
    QLineEdit* m_pathField = nullptr;
    QLabel* m_preview = nullptr;
    QPushButton* m_fileButton = nullptr;
    QPushButton* m_exportButton = nullptr;
    QLineEdit* m_nameField = nullptr;
    QPushButton* m_closeButton = nullptr;
};
