// Tests of the highlighter adapter on a real QTextDocument: colours, fonts, multi-line state, edits.
#include "syntax/source_highlighter.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <functional>

namespace korvan::shell {
namespace {

// The colours of a line as letters, as the scanner tests write them: one per character, '?'
// where no format or a colour of no style covers it.
QString colours(const QTextDocument& doc, int line) {
    const QTextBlock block = doc.findBlockByNumber(line);
    QString out(block.length() - 1, u'?');
    const QList<QPair<QColor, QChar>> letters{{QColor(0, 0, 0), u'.'},     {QColor(0, 170, 0), u'C'},
                                              {QColor(55, 57, 200), u'S'}, {QColor(0, 0, 255), u'K'},
                                              {QColor(128, 128, 0), u'P'}, {QColor(255, 128, 0), u'T'},
                                              {QColor(163, 21, 21), u'N'}, {QColor(128, 0, 128), u'L'}};
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        for (const auto& [colour, letter] : letters)
            if (range.format.foreground().color() == colour)
                for (int i = range.start; i < range.start + range.length && i < out.size(); ++i) out[i] = letter;
    return out;
}

// Replaces `remove` characters from (line, column) with text; column -1 is the line's end.
void edit(QTextDocument& doc, int line, int column, const QString& text, int remove = 0) {
    QTextCursor cursor(doc.findBlockByNumber(line));
    cursor.setPosition(cursor.position() + (column < 0 ? cursor.block().length() - 1 : column));
    cursor.setPosition(cursor.position() + remove, QTextCursor::KeepAnchor);
    cursor.insertText(text);
}

}  // namespace

class SourceHighlighterTest : public QObject {
    Q_OBJECT

private slots:
    // Changes reach the highlighter through the document's layout, which an editor always gives
    // its document; a bare document gets one here. Once attached, every change is coloured at once.
    void coloursEveryLineAndFollowsEdits_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("editLine");    // -1: no edit
        QTest::addColumn<int>("editColumn");  // -1: at the end of the line
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("keywords and types") << "int main(void)\n#include <a.h>\nWORD word INT" << -1 << 0 << ""
                                            << QStringList{"TTT.KKKK.TTTT.", "PPPPPPPP......", "TTTT........."};
        QTest::newRow("block comment over lines")
            << "x /* a\nint\nb */ char c;" << -1 << 0 << "" << QStringList{"..CCCC", "CCC", "CCCC.TTTT..."};
        // An accented letter is one character, an emoji two UTF-16 units: the runs after them
        // must still start at the right characters. Which bytes take which style is the scanner's.
        QTest::newRow("characters beyond ASCII")
            << QString::fromUtf8("\xC3\xA9 int \"\xC3\xA9\" // x\n\xF0\x9F\x98\x80 char \xC3\xA9int") << -1 << 0 << ""
            << QStringList{"..TTT.SSS.CCCC", "...TTTT....."};
        QTest::newRow("typing a comment opener recolours the following lines")
            << "int a;\nint b;\nint c; */ int d;" << 0 << 0 << "/*"
            << QStringList{"CCCCCCCC", "CCCCCC", "CCCCCCCCC.TTT..."};
        QTest::newRow("closing the comment restores the following lines")
            << "/* a\nint b;\nint c;" << 0 << -1 << " */" << QStringList{"CCCCCCC", "TTT...", "TTT..."};
    }
    void coloursEveryLineAndFollowsEdits() {
        QFETCH(QString, text);
        QFETCH(int, editLine);
        QFETCH(int, editColumn);
        QFETCH(QString, inserted);
        QFETCH(QStringList, expected);
        QTextDocument doc;
        doc.documentLayout();
        new SourceHighlighter(&doc);
        doc.setPlainText(text);
        if (editLine >= 0) edit(doc, editLine, editColumn, inserted);
        QStringList shown;
        for (int line = 0; line < doc.blockCount(); ++line) shown << colours(doc, line);
        QCOMPARE(shown, expected);
    }

    // An assembly document is coloured by the assembler's line split (directives in the
    // preprocessor's colour P, registers in the type names' T; a gap of blanks only takes the
    // run before it); switching the language recolours the whole text, and an edit recolours
    // its own line only.
    void coloursAssemblyAndSwitchesLanguage() {
        QTextDocument doc;
        doc.documentLayout();
        auto* highlighter = new SourceHighlighter(&doc);
        highlighter->setLanguage(syntax::SourceLanguage::Assembly);
        doc.setPlainText("* l'adresse /* int\nBOUCLE\tMOVE.L #$FF,D0 ; it's int\n\tDC.B 'a''b',0");
        const QStringList assembly{"CCCCCCCCCCCCCCCCCC", "LLLLLLLKKKKKK..NNN.TTTCCCCCCCCCC", "PPPPPPSSSSSS.N"};
        QStringList shown;
        for (int line = 0; line < doc.blockCount(); ++line) shown << colours(doc, line);
        QCOMPARE(shown, assembly);

        // Indented, the label is read as a mnemonic the table lacks: the assembler stops there.
        QTextCursor(doc.findBlockByNumber(1)).insertText("\t");
        QCOMPARE(colours(doc, 1), QString(33, u'.'));
        QCOMPARE(colours(doc, 2), assembly[2]);

        highlighter->setLanguage(syntax::SourceLanguage::C);
        QCOMPARE(colours(doc, 0), QString("...SSSSSSSSSSSSSSS"));  // the apostrophe as C reads it
        QCOMPARE(colours(doc, 1), QString(27, u'.') + QString(6, u'S'));
    }

    // With a look-ahead of 3 lines a comment opened or closed at the top is coloured at once only
    // that far; the rest follows from the event loop, also across an edit made meanwhile, and
    // ends with exactly the formats of a document coloured whole from scratch.
    void backgroundColouringEndsAsAFullColouring() {
        QString text;
        for (int i = 0; i < 40; ++i) text += QStringLiteral("int a%1; \"s\" // c\n").arg(i);
        QTextDocument doc;
        doc.documentLayout();
        auto* highlighter = new SourceHighlighter(&doc);
        highlighter->setLookAhead(3);
        doc.setPlainText(text);
        QTRY_VERIFY(!highlighter->colouringPending());
        const std::function<void()> steps[] = {
            [&] {
                edit(doc, 0, 0, "/*");
                QCOMPARE(colours(doc, 20).left(3), QString("TTT"));  // not reached yet
                QVERIFY(highlighter->colouringPending());
                edit(doc, 10, -1, "\nchar b;");  // an edit while the rest is pending
            },
            [&] { edit(doc, 25, -1, " */"); },
            [&] { edit(doc, 0, 0, "", 2); },
        };
        for (const auto& step : steps) {
            step();
            QTRY_VERIFY(!highlighter->colouringPending());
            QTextDocument fresh;
            fresh.documentLayout();
            (new SourceHighlighter(&fresh))->setLookAhead(1000);
            fresh.setPlainText(doc.toPlainText());
            QCOMPARE(doc.blockCount(), fresh.blockCount());
            for (int line = 0; line < doc.blockCount(); ++line)
                QVERIFY2(doc.findBlockByNumber(line).layout()->formats() ==
                             fresh.findBlockByNumber(line).layout()->formats(),
                         qPrintable(QStringLiteral("line %1: %2 against %3")
                                        .arg(line)
                                        .arg(colours(doc, line), colours(fresh, line))));
        }
    }

    // Text loaded before attaching is coloured on the next pass of the event loop, without
    // touching the text, the modified flag or the undo history; every run has the editor's font.
    void coloursExistingTextAndLeavesTheDocumentAlone() {
        QTextDocument doc;
        doc.setPlainText("/* a\nint */ int");
        doc.setModified(false);
        new SourceHighlighter(&doc);
        QTRY_COMPARE(colours(doc, 1), QString("CCCCCC.TTT"));
        QCOMPARE(colours(doc, 0), QString("CCCC"));
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.isUndoAvailable());
        QCOMPARE(doc.toPlainText(), QString("/* a\nint */ int"));
        for (const QTextLayout::FormatRange& range : doc.findBlockByNumber(1).layout()->formats()) {
            QCOMPARE(range.format.fontFamilies().toStringList(), SourceHighlighter::editorFont().families());
            QVERIFY(range.format.fontFixedPitch());
            QCOMPARE(range.format.fontPointSize(), 10.0);
            QVERIFY(range.format.fontWeight() == QFont::Normal && !range.format.fontItalic());
        }
    }
};

}  // namespace korvan::shell

QTEST_MAIN(korvan::shell::SourceHighlighterTest)
#include "source_highlighter_test.moc"
