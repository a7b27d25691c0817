// One diagnostic of an assembly run and the list of them handed back to the caller.
#include "driver/diagnostics.h"

ErreurAsm::ErreurAsm() = default;

ErreurAsm::ErreurAsm(const ErreurAsm& other)
    : m_file(other.m_file), m_detail(other.m_detail), m_line(other.m_line), m_code(other.m_code) {
    // The text is filled in from the catalogue at the end of the run, never copied.
}

ErreurAsm::~ErreurAsm() = default;

void ErreurAsm::Init() {
    m_line = -1;
    m_text.clear();
    m_detail.clear();
    m_code = 0;
}

void ErreurAsm::NewErreur(int code) {
    // A line keeps the first code of its most severe class: a later code only wins when its
    // class is above the whole code held so far.
    if ((code & 0xF00) > m_code) m_code = code;
}

ListErreur::ListErreur() = default;

ListErreur::~ListErreur() { RazErreur(); }

void ListErreur::AddErreur(ErreurAsm err) { m_items.emplace_front(err); }

ErreurAsm* ListErreur::GetFirstErreur() {
    m_cursor = m_items.begin();
    m_cursorValid = true;
    return GetNextErreur();
}

ErreurAsm* ListErreur::GetNextErreur() {
    if (!m_cursorValid || m_cursor == m_items.end()) {
        m_cursorValid = false;
        return nullptr;
    }
    ErreurAsm* item = &*m_cursor;
    ++m_cursor;
    return item;
}

void ListErreur::RazErreur() {
    m_items.clear();
    m_cursorValid = false;  // an iteration in progress ends instead of touching freed entries
}

void ListErreur::SetTextErreur() {
    for (ErreurAsm& item : m_items) {
        std::string text = qubrix::CatalogueText(item.LitCode());
        const std::string& detail = item.LitDetail();
        if (!detail.empty()) text += text.empty() ? detail : " : " + detail;
        item.SetErreur(std::move(text));
    }
}
