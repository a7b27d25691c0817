// Colours a source editor's document with the plain syntax scanner, without ever holding up the
// editor: a long document is coloured in slices between the event loop's turns.
//
// Public API, for the editor:
//
//   auto* highlighter = new korvan::shell::SourceHighlighter(document);
//
//   - The constructor attaches the highlighter to `document` (a QTextDocument, for instance a
//     QPlainTextEdit's document()) and makes the document its parent, so it lives and dies with
//     the document; nothing else needs to own or delete it. Changes reach the highlighter
//     through the document's layout, which an editor's document always has (a bare
//     QTextDocument gets one from documentLayout()). The editor calls nothing on the
//     highlighter after opening a file or on each edit.
//   - What is coloured when: from the first line a change touched, up to lookAhead() lines
//     (a screenful and more) are coloured at once, inside the call that changed the text. The
//     rest (the remainder of a file just loaded, or the lines after a "/*" typed or removed) is
//     coloured from the top down in slices of a few milliseconds, one slice per turn of the
//     event loop, so keys and paint events are served in between. Text already in the document
//     when the highlighter is attached is coloured the same way, from the next turn on.
//     colouringPending() says whether background work remains; the final colours are those of
//     a complete colouring from the first line.
//   - Use it on a QPlainTextEdit's document: on a QTextEdit (rich-text layout) Qt relayouts the
//     rest of the document for every recoloured line.
//   - Two colourings, chosen per document with setLanguage() (C until then):
//     C: C and C++ keywords, preprocessor words and type names, comments, string and
//     character literals; used for C and C++ sources, listings and tool output.
//     Assembly (syntax/asm_scanner.h): mnemonics, directives, labels, registers, numbers,
//     strings and comments as the assembler reads them; used for assembly sources.
//     languageOfFile() in the same header tells which one a file name calls for. Set the
//     language before the text is loaded: changing it recolours the whole document.
//   - In C, an open block comment carries over to the following lines, and a line comment or
//     a literal carries over when its line ends with a backslash; editing a line recolours the
//     lines after it as far as that carry-over changes. In assembly every line stands alone.
//   - Colouring only sets display formats (QTextLayout formats): it never changes the text,
//     the undo stack or the document's modified flag.
//   - editorFont() is the fixed-pitch 10-point font of the colouring; the editor should use it
//     as its own font too (line height, caret, tab width). The colours are chosen for a white
//     background, and text outside any coloured run is drawn black.
//   - charFormat(style) is the format applied to runs of that style (also used by the tests).
#pragma once

#include <QFont>
#include <QObject>
#include <QTextCharFormat>
#include <QTextLayout>

#include <array>
#include <string>
#include <vector>

#include "syntax/asm_scanner.h"
#include "syntax/syntax_scanner.h"

class QTextBlock;
class QTextDocument;
class QTimer;

namespace korvan::shell {

class SourceHighlighter final : public QObject {
    Q_OBJECT

public:
    explicit SourceHighlighter(QTextDocument* document);

    QTextDocument* document() const { return m_doc; }

    // The colouring in use; a change recolours the whole document (at once as far as the
    // look-ahead reaches, the rest in the background).
    syntax::SourceLanguage language() const { return m_language; }
    void setLanguage(syntax::SourceLanguage language);

    // Colours the whole document at once, whatever is pending.
    void rehighlight();

    // True while lines remain to be coloured in the background.
    bool colouringPending() const;

    // How many lines from a change on are coloured at once (at least 1).
    int lookAhead() const { return m_lookAhead; }
    void setLookAhead(int lines);

    // The fixed-pitch face every source is shown in, at 10 points.
    static QFont editorFont();

    // The format of runs of the given style: the editor font in the style's colour.
    static QTextCharFormat charFormat(syntax::Style style);

private:
    void contentsChanged(int from, int charsRemoved, int charsAdded);
    // Colours lines from `block` on while their number is at most `mustTo` (or m_mustTo) or
    // they are out of date, `budget` lines at most; returns the number of the first line left
    // and sets *cut when the budget ran out first.
    int colourFrom(QTextBlock block, int mustTo, int budget, bool* cut);
    // One background slice from the frontier on.
    void colourSlice();
    // Colours one line from the state the line before it ended in.
    void colourBlock(QTextBlock block);
    // True when the line was coloured in the current language from the state its predecessor
    // ends in now.
    bool upToDate(const QTextBlock& block) const;
    void noteDirty(const QTextBlock& block);
    void flushDirty();
    void schedule();

    QTextDocument* m_doc;
    QTimer* m_slices;
    syntax::SourceLanguage m_language = syntax::SourceLanguage::C;
    std::array<QTextCharFormat, syntax::kStyleCount> m_formats;
    int m_lookAhead = 200;
    // Every line before this one is coloured right; the background goes on from here.
    int m_frontier = 0;
    // Lines up to this number are coloured when reached, whatever their state says (lines a
    // change touched that the look-ahead did not reach); -1 for none.
    int m_mustTo = -1;
    int m_blockCount = 1;
    // The character range whose formats changed and that the layout has not been told about.
    int m_dirtyFrom = -1;
    int m_dirtyTo = -1;
    std::string m_bytes;                // the line's text, one byte per character
    std::vector<syntax::Span> m_spans;  // reused from line to line
    QList<QTextLayout::FormatRange> m_ranges;
};

}  // namespace korvan::shell
