// Colours a source editor's document through QSyntaxHighlighter, using the plain syntax scanner.
//
// Public API, for the editor:
//
//   auto* highlighter = new korvan::shell::SourceHighlighter(document);
//
//   - The constructor attaches the highlighter to `document` (a QTextDocument, for instance a
//     QPlainTextEdit's document()) and makes the document its parent, so it lives and dies with
//     the document; nothing else needs to own or delete it. Text already in the document is
//     coloured on the next pass of the event loop; text set (setPlainText when a file is
//     opened) or typed afterwards is coloured at once, inside that same call. Changes reach
//     the highlighter through the document's layout, which an editor's document always has
//     (a bare QTextDocument gets one from documentLayout()). The editor calls nothing on the
//     highlighter after opening a file or on each edit: both are covered by the above.
//   - Use it on a QPlainTextEdit's document. On a QTextEdit (rich-text layout) Qt relayouts
//     the rest of the document for every recoloured line when the whole text is recoloured
//     (rehighlight(), or attaching to text already loaded): the time grows with the square of
//     the line count, over a minute at 20,000 lines, against about 60 ms on a QPlainTextEdit.
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
//   - Colouring only sets display formats (QTextLayout additional formats): it never changes
//     the text, the undo stack or the document's modified flag.
//   - editorFont() is the fixed-pitch 10-point font of the colouring; the editor should use it
//     as its own font too (line height, caret, tab width). The colours are chosen for a white
//     background, and text outside any coloured run is drawn black.
//   - charFormat(style) is the format applied to runs of that style (also used by the tests).
#pragma once

#include <QFont>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>

#include <array>
#include <string>
#include <vector>

#include "syntax/asm_scanner.h"
#include "syntax/syntax_scanner.h"

class QTextDocument;

namespace korvan::shell {

class SourceHighlighter final : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit SourceHighlighter(QTextDocument* document);

    // The colouring in use; a change recolours the whole document.
    syntax::SourceLanguage language() const { return m_language; }
    void setLanguage(syntax::SourceLanguage language);

    // The fixed-pitch face every source is shown in, at 10 points.
    static QFont editorFont();

    // The format of runs of the given style: the editor font in the style's colour.
    static QTextCharFormat charFormat(syntax::Style style);

protected:
    void highlightBlock(const QString& text) override;

private:
    syntax::SourceLanguage m_language = syntax::SourceLanguage::C;
    std::array<QTextCharFormat, syntax::kStyleCount> m_formats;
    std::string m_bytes;                // the block's text, one byte per character
    std::vector<syntax::Span> m_spans;  // reused from block to block
};

}  // namespace korvan::shell
