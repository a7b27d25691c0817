// Tests of the highlighter adapter on a real QTextDocument: colours, fonts, multi-line state, edits.
#include "syntax/source_highlighter.h"

#include <QPointer>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace korvan::shell {
namespace {

// The colour shown at a position of a line: the format range covering it, or none.
QColor colourAt(const QTextDocument& doc, int line, int column) {
    const QTextBlock block = doc.findBlockByNumber(line);
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        if (column >= range.start && column < range.start + range.length)
            return range.format.foreground().color();
    return QColor();
}

// The colours of a whole line as letters, as the scanner tests write them.
QString colours(const QTextDocument& doc, int line) {
    const QTextBlock block = doc.findBlockByNumber(line);
    QString out;
    for (int column = 0; column < block.length() - 1; ++column) {
        const QColor c = colourAt(doc, line, column);
        if (c == QColor(0, 0, 0)) out += '.';
        else if (c == QColor(0, 170, 0)) out += 'C';
        else if (c == QColor(55, 57, 200)) out += 'S';
        else if (c == QColor(0, 0, 255)) out += 'K';
        else if (c == QColor(128, 128, 0)) out += 'P';
        else if (c == QColor(255, 128, 0)) out += 'T';
        else out += '?';  // no format, or a colour of no style
    }
    return out;
}

// Changes reach the highlighter through the document's layout, which an editor always gives
// its document; a bare document gets one here. Once attached, every change is coloured at once.
void attachAndSet(QTextDocument& doc, const QString& text) {
    doc.documentLayout();
    new SourceHighlighter(&doc);
    doc.setPlainText(text);
}

}  // namespace

class SourceHighlighterTest : public QObject {
    Q_OBJECT

private slots:
    void coloursEveryLine_data();
    void coloursEveryLine();
    void coloursTextPresentBeforeAttaching();
    void typingACommentOpenerRecoloursTheFollowingLines();
    void closingTheCommentRestoresTheFollowingLines();
    void positionsFollowCharactersBeyondAscii();
    void formatsCarryTheFixedPitchFont();
    void colouringLeavesTextAndModifiedFlagAlone();
    void highlighterDiesWithItsDocument();
};

void SourceHighlighterTest::coloursEveryLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("keywords and types")
        << QString("int main(void)\n#include <a.h>\nWORD word INT")
        << QStringList{"TTT.KKKK.TTTT.", "PPPPPPPP......", "TTTT........."};
    QTest::newRow("block comment over lines")
        << QString("x /* a\nint\nb */ char c;")
        << QStringList{"..CCCC", "CCC", "CCCC.TTTT..."};
    QTest::newRow("line comment continued")
        << QString("// a\\\nint\nint")
        << QStringList{"CCCCC", "CCC", "TTT"};
    QTest::newRow("literals")
        << QString("s = \"int\"; c = '\\'' int")
        << QStringList{"....SSSSS......SSSS.TTT"};
    QTest::newRow("assembly")
        << QString("\tMOVE.B #'A',D0 ; if x\n\tbra main")
        << QStringList{".........SSS......KK..", ".....KKKK"};
}

void SourceHighlighterTest::coloursEveryLine() {
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QTextDocument doc;
    attachAndSet(doc, text);
    QCOMPARE(doc.blockCount(), int(expected.size()));
    for (int line = 0; line < expected.size(); ++line)
        QCOMPARE(colours(doc, line), expected[line]);
}

void SourceHighlighterTest::coloursTextPresentBeforeAttaching() {
    QTextDocument doc;
    doc.setPlainText("/* a\nint */ int");
    new SourceHighlighter(&doc);
    // The first colouring of existing text happens on the next pass of the event loop.
    QTRY_COMPARE(colours(doc, 1), QString("CCCCCC.TTT"));
    QCOMPARE(colours(doc, 0), QString("CCCC"));
}

void SourceHighlighterTest::typingACommentOpenerRecoloursTheFollowingLines() {
    QTextDocument doc;
    attachAndSet(doc, "int a;\nint b;\nint c; */ int d;");
    QCOMPARE(colours(doc, 2), QString("TTT.......TTT..."));

    QTextCursor cursor(&doc);
    cursor.setPosition(0);
    cursor.insertText("/*");
    QCOMPARE(colours(doc, 0), QString("CCCCCCCC"));
    QCOMPARE(colours(doc, 1), QString("CCCCCC"));
    QCOMPARE(colours(doc, 2), QString("CCCCCCCCC.TTT..."));
}

void SourceHighlighterTest::closingTheCommentRestoresTheFollowingLines() {
    QTextDocument doc;
    attachAndSet(doc, "/* a\nint b;\nint c;");
    QCOMPARE(colours(doc, 2), QString("CCCCCC"));

    QTextCursor cursor(doc.findBlockByNumber(0));
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText(" */");
    QCOMPARE(colours(doc, 0), QString("CCCCCCC"));
    QCOMPARE(colours(doc, 1), QString("TTT..."));
    QCOMPARE(colours(doc, 2), QString("TTT..."));
}

void SourceHighlighterTest::positionsFollowCharactersBeyondAscii() {
    QTextDocument doc;
    // An accented letter is one character, an emoji two UTF-16 units: the runs after them must
    // still start at the right characters.
    attachAndSet(doc, QString::fromUtf8(
                          "\xC3\xA9 int \"\xC3\xA9\" // x\n\xF0\x9F\x98\x80 char \xC3\xA9int"));
    QCOMPARE(colours(doc, 0), QString("..TTT.SSS.CCCC"));
    QCOMPARE(colours(doc, 1), QString("...TTTT....."));
}

void SourceHighlighterTest::formatsCarryTheFixedPitchFont() {
    for (int s = 0; s < int(syntax::kStyleCount); ++s) {
        const QTextCharFormat format = SourceHighlighter::charFormat(syntax::Style(s));
        QVERIFY(format.fontFixedPitch());
        QCOMPARE(format.fontPointSize(), 10.0);
        QVERIFY(format.fontWeight() == QFont::Normal);
        QVERIFY(!format.fontItalic());
        QVERIFY(!format.fontUnderline());
        QVERIFY(!format.fontStrikeOut());
    }
    QTextDocument doc;
    attachAndSet(doc, "x int");
    const QTextBlock block = doc.firstBlock();
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        QCOMPARE(range.format.fontFamilies().toStringList(), SourceHighlighter::editorFont().families());
}

void SourceHighlighterTest::colouringLeavesTextAndModifiedFlagAlone() {
    QTextDocument doc;
    doc.setPlainText("int a; /* b */");
    doc.setModified(false);
    auto* highlighter = new SourceHighlighter(&doc);
    highlighter->rehighlight();
    QCOMPARE(colours(doc, 0), QString("TTT....CCCCCCC"));
    QVERIFY(!doc.isModified());
    QVERIFY(!doc.isUndoAvailable());
    QCOMPARE(doc.toPlainText(), QString("int a; /* b */"));
}

void SourceHighlighterTest::highlighterDiesWithItsDocument() {
    QPointer<SourceHighlighter> highlighter;
    {
        QTextDocument doc;
        highlighter = new SourceHighlighter(&doc);
        QCOMPARE(highlighter->document(), &doc);
    }
    QVERIFY(highlighter.isNull());
}

}  // namespace korvan::shell

QTEST_MAIN(korvan::shell::SourceHighlighterTest)
#include "source_highlighter_test.moc"
