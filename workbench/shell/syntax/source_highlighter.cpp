// QSyntaxHighlighter adapter: converts each block to bytes, scans it, applies the run formats.
#include "syntax/source_highlighter.h"

#include <QColor>
#include <QFontDatabase>
#include <QTextDocument>

namespace korvan::shell {

using syntax::LineState;
using syntax::Style;

SourceHighlighter::SourceHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    for (std::size_t i = 0; i < m_formats.size(); ++i) m_formats[i] = charFormat(static_cast<Style>(i));
}

void SourceHighlighter::setLanguage(syntax::SourceLanguage language) {
    if (language == m_language) return;
    m_language = language;
    rehighlight();
}

QFont SourceHighlighter::editorFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(syntax::kFontPointSize);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QTextCharFormat SourceHighlighter::charFormat(Style style) {
    static const QFont font = editorFont();
    const syntax::Rgb rgb = syntax::styleColour(style);
    QTextCharFormat format;
    format.setFont(font);
    format.setVerticalAlignment(QTextCharFormat::AlignNormal);
    format.setForeground(QColor(rgb.r, rgb.g, rgb.b));
    return format;
}

void SourceHighlighter::highlightBlock(const QString& text) {
    // Only ASCII characters matter to the scanner; every other character becomes one
    // ordinary byte, so that byte positions are the block's character positions.
    const qsizetype length = text.size();
    m_bytes.resize(static_cast<std::size_t>(length));
    const QChar* chars = text.constData();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t u = chars[i].unicode();
        m_bytes[static_cast<std::size_t>(i)] = u < 0x80 ? static_cast<char>(u) : '\x80';
    }

    m_spans.clear();
    LineState exit = LineState::Code;
    if (m_language == syntax::SourceLanguage::Assembly) {
        syntax::scanAssemblyLine(m_bytes, m_spans);
        // Blanks look the same in any colour: a gap of blanks only between the fields joins
        // the run before it (or after it, at the line's start), which spares Qt a format range
        // per field of an assembly line.
        std::size_t end = 0;
        for (std::size_t k = 0; k < m_spans.size(); ++k) {
            syntax::Span& span = m_spans[k];
            std::size_t blank = end;
            while (blank < span.start && (m_bytes[blank] == ' ' || m_bytes[blank] == '\t')) ++blank;
            if (span.start > end && blank == span.start) {
                if (k > 0) {
                    m_spans[k - 1].length += span.start - end;
                } else {
                    span.length += span.start;
                    span.start = 0;
                }
            }
            end = span.start + span.length;
        }
    } else {
        // -1 means the line before was never coloured (or there is none): start in code.
        const int previous = previousBlockState();
        const LineState entry = previous >= 0 && previous <= static_cast<int>(LineState::BlockComment)
                                    ? static_cast<LineState>(previous)
                                    : LineState::Code;
        exit = syntax::scanLine(m_bytes, entry, m_spans);
    }

    // Default first, then each run over it; gaps between runs keep the default.
    std::size_t done = 0;
    for (const syntax::Span& span : m_spans) {
        if (span.start > done)
            setFormat(static_cast<int>(done), static_cast<int>(span.start - done),
                      m_formats[static_cast<std::size_t>(Style::Default)]);
        setFormat(static_cast<int>(span.start), static_cast<int>(span.length),
                  m_formats[static_cast<std::size_t>(span.style)]);
        done = span.start + span.length;
    }
    if (static_cast<std::size_t>(length) > done)
        setFormat(static_cast<int>(done), static_cast<int>(static_cast<std::size_t>(length) - done),
                  m_formats[static_cast<std::size_t>(Style::Default)]);

    setCurrentBlockState(static_cast<int>(exit));
}

}  // namespace korvan::shell
