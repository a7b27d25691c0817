// Sizes of dialogs and fields taken from the font, so that titles and field texts show whole in
// both languages and at any display scaling. Qt only, shared by every part of the workbench.
#pragma once

#include <QDialog>
#include <QFont>
#include <QFontMetrics>
#include <QLineEdit>
#include <QString>

#include <algorithm>

namespace korvan::shell {

// Width a top-level window needs for its title bar to show `title` whole: the text in bold (as
// most window managers draw it) plus room for the window's icon and its three buttons, each about
// a line of text high and square.
inline int titleBarWidth(const QWidget* window, const QString& title) {
    QFont font = window->font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int button = metrics.height() + metrics.height() / 2;
    return metrics.horizontalAdvance(title) + 5 * button;
}

// Keeps a window at least as wide as its title needs.
inline void fitTitle(QWidget* window) {
    window->setMinimumWidth(std::max(window->minimumWidth(), titleBarWidth(window, window->windowTitle())));
}

// Width a line edit needs to show `text` whole: the text, the frame and margins its own size hint
// allows around its usual 17 'x', and a character for the caret.
inline int lineEditWidth(const QLineEdit* edit, const QString& text) {
    const QFontMetrics metrics = edit->fontMetrics();
    const int chrome = edit->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    return metrics.horizontalAdvance(text) + std::max(chrome, 0) + metrics.averageCharWidth();
}

// Makes a line edit wide enough for `text`, and for at least `minChars` average characters; the
// width never goes below what the layout already asks. A text longer than `maxChars` characters
// scrolls in the field rather than widening the dialog past the screen.
inline void fitLineEdit(QLineEdit* edit, const QString& text, int minChars = 0, int maxChars = 96) {
    const int most = lineEditWidth(edit, QString(maxChars, QLatin1Char('x')));
    const int wanted = std::max(lineEditWidth(edit, text), lineEditWidth(edit, QString(minChars, QLatin1Char('x'))));
    edit->setMinimumWidth(std::max(edit->minimumWidth(), std::min(wanted, most)));
}

}  // namespace korvan::shell
