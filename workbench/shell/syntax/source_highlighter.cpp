// Colours a document line by line: the edited lines and a look-ahead at once, the rest in timed
// slices between turns of the event loop.
#include "syntax/source_highlighter.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace korvan::shell {

using syntax::LineState;
using syntax::Style;

namespace {

// How long one background slice may take; the event loop turns between slices.
constexpr qint64 kSliceMs = 4;

// A coloured line remembers in its user state the language it was coloured in, the state it
// was entered in and the state it left: it is up to date when the language is still the same
// and its predecessor still ends in the state it was entered in. -1 (Qt's initial value) is a
// line never coloured since its text changed.
constexpr int kColoured = 0x1000;
int packState(syntax::SourceLanguage language, LineState entry, LineState exit) {
    return kColoured | static_cast<int>(language) << 8 | static_cast<int>(entry) << 4 | static_cast<int>(exit);
}
LineState exitOf(int state) { return state < 0 ? LineState::Code : static_cast<LineState>(state & 0xF); }
LineState entryOf(int state) { return static_cast<LineState>(state >> 4 & 0xF); }
int languageOf(int state) { return state >> 8 & 0xF; }

}  // namespace

SourceHighlighter::SourceHighlighter(QTextDocument* document)
    : QObject(document), m_doc(document), m_slices(new QTimer(this)) {
    for (std::size_t i = 0; i < m_formats.size(); ++i) m_formats[i] = charFormat(static_cast<Style>(i));
    // A zero interval fires at most once per turn of the event loop.
    m_slices->setInterval(0);
    connect(m_slices, &QTimer::timeout, this, &SourceHighlighter::colourSlice);
    connect(m_doc, &QTextDocument::contentsChange, this, &SourceHighlighter::contentsChanged);
    m_blockCount = m_doc->blockCount();
    m_mustTo = m_blockCount - 1;
    schedule();  // text already there is coloured from the next turn on
}

void SourceHighlighter::setLanguage(syntax::SourceLanguage language) {
    if (language == m_language) return;
    m_language = language;
    // Every line now counts as out of date: the look-ahead at once, the rest in the background.
    bool cut = false;
    m_frontier = colourFrom(m_doc->firstBlock(), -1, m_lookAhead, &cut);
    flushDirty();
    schedule();
}

void SourceHighlighter::rehighlight() {
    m_slices->stop();
    for (QTextBlock block = m_doc->firstBlock(); block.isValid(); block = block.next()) colourBlock(block);
    m_frontier = m_doc->blockCount();
    m_mustTo = -1;
    flushDirty();
}

bool SourceHighlighter::colouringPending() const { return m_frontier < m_doc->blockCount(); }

void SourceHighlighter::setLookAhead(int lines) { m_lookAhead = std::max(1, lines); }

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

void SourceHighlighter::contentsChanged(int from, int charsRemoved, int charsAdded) {
    (void)charsRemoved;
    const int count = m_doc->blockCount();
    const int delta = count - m_blockCount;
    m_blockCount = count;
    QTextBlock first = m_doc->findBlock(from);
    if (!first.isValid()) first = m_doc->lastBlock();
    QTextBlock last = m_doc->findBlock(from + charsAdded);
    if (!last.isValid()) last = m_doc->lastBlock();
    const int b0 = first.blockNumber();
    const int b1 = last.blockNumber();
    const int b1Before = b1 - delta;  // the change's last line, numbered as before it

    // Lines after the change move by the number of lines it added or removed.
    auto follow = [&](int line) { return line > b1Before ? line + delta : std::min(line, b0); };
    int frontier = follow(m_frontier);
    if (m_mustTo >= b0) m_mustTo = std::max(b1, follow(m_mustTo));

    // The changed lines and what follows from them, as far as the look-ahead reaches.
    bool cut = false;
    const int left = colourFrom(first, b1, m_lookAhead, &cut);
    if (cut) {
        // Lines of the change not reached yet must be coloured whatever their state says.
        m_mustTo = std::max(m_mustTo, b1);
        frontier = std::min(frontier, left);
    } else if (frontier >= b0) {
        frontier = std::max(frontier, left);
    }
    m_frontier = frontier;
    flushDirty();
    schedule();
}

int SourceHighlighter::colourFrom(QTextBlock block, int mustTo, int budget, bool* cut) {
    int line = block.isValid() ? block.blockNumber() : m_doc->blockCount();
    for (int n = 0; block.isValid(); ++n, ++line, block = block.next()) {
        if (line > mustTo && line > m_mustTo && upToDate(block)) return line;
        if (n == budget) {
            *cut = true;
            return line;
        }
        colourBlock(block);
    }
    return line;
}

void SourceHighlighter::colourSlice() {
    QElapsedTimer clock;
    clock.start();
    QTextBlock block = m_doc->findBlockByNumber(m_frontier);
    int line = m_frontier;
    while (block.isValid()) {
        if (line <= m_mustTo || !upToDate(block)) colourBlock(block);
        ++line;
        block = block.next();
        if ((line & 31) == 0 && clock.elapsed() >= kSliceMs) break;
    }
    m_frontier = block.isValid() ? line : m_doc->blockCount();
    if (!block.isValid()) m_mustTo = -1;
    flushDirty();
    if (!colouringPending()) m_slices->stop();
}

bool SourceHighlighter::upToDate(const QTextBlock& block) const {
    const int state = block.userState();
    if (state < 0 || languageOf(state) != static_cast<int>(m_language)) return false;
    const QTextBlock previous = block.previous();
    return entryOf(state) == (previous.isValid() ? exitOf(previous.userState()) : LineState::Code);
}

void SourceHighlighter::colourBlock(QTextBlock block) {
    const QTextBlock previous = block.previous();
    const LineState entry = previous.isValid() ? exitOf(previous.userState()) : LineState::Code;

    // Only ASCII characters matter to the scanner; every other character becomes one
    // ordinary byte, so that byte positions are the line's character positions.
    const QString text = block.text();
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
        exit = syntax::scanLine(m_bytes, entry, m_spans);
    }

    // Default first, then each run over it; gaps between runs keep the default. Text being
    // composed by an input method sits inside the line's layout: runs after it move past it,
    // and its own formats stay.
    QTextLayout* layout = block.layout();
    const int preeditStart = layout->preeditAreaPosition();
    const int preeditLength = static_cast<int>(layout->preeditAreaText().size());
    m_ranges.clear();
    if (preeditLength > 0)
        for (const QTextLayout::FormatRange& kept : layout->formats())
            if (kept.start >= preeditStart && kept.start + kept.length <= preeditStart + preeditLength)
                m_ranges.append(kept);
    auto add = [&](std::size_t start, std::size_t count, Style style) {
        QTextLayout::FormatRange range;
        range.start = static_cast<int>(start);
        range.length = static_cast<int>(count);
        if (preeditLength > 0 && range.start >= preeditStart) range.start += preeditLength;
        range.format = m_formats[static_cast<std::size_t>(style)];
        m_ranges.append(range);
    };
    std::size_t done = 0;
    for (const syntax::Span& span : m_spans) {
        if (span.start > done) add(done, span.start - done, Style::Default);
        add(span.start, span.length, span.style);
        done = span.start + span.length;
    }
    if (static_cast<std::size_t>(length) > done) add(done, static_cast<std::size_t>(length) - done, Style::Default);

    if (layout->formats() != m_ranges) {
        layout->setFormats(m_ranges);
        noteDirty(block);
    }
    block.setUserState(packState(m_language, entry, exit));
}

void SourceHighlighter::noteDirty(const QTextBlock& block) {
    const int from = block.position();
    const int to = from + block.length();
    if (m_dirtyFrom < 0) {
        m_dirtyFrom = from;
        m_dirtyTo = to;
    } else {
        m_dirtyFrom = std::min(m_dirtyFrom, from);
        m_dirtyTo = std::max(m_dirtyTo, to);
    }
}

void SourceHighlighter::flushDirty() {
    if (m_dirtyFrom < 0) return;
    // One notice for all the lines recoloured: the layout lays them out again when shown. It
    // is needed even for lines never shown: Qt keeps the range of every format change until
    // the next notice, and would otherwise hand it to the layout and to this highlighter with
    // the next edit, as if all those lines had been edited.
    const int from = m_dirtyFrom;
    const int to = std::min(m_dirtyTo, m_doc->characterCount());
    m_dirtyFrom = m_dirtyTo = -1;
    if (to > from) m_doc->markContentsDirty(from, to - from);
}

void SourceHighlighter::schedule() {
    if (colouringPending() && !m_slices->isActive()) m_slices->start();
}

}  // namespace korvan::shell
