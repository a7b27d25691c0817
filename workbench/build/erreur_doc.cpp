// The error-list document.
#include "erreur_doc.h"

#include <QFile>
#include <QString>

#include "driver/diagnostics.h"
#include "erreur_view.h"

namespace korvan::build {

CErreurDoc::CErreurDoc() = default;

// The list goes with the document, so closing the window releases it.
CErreurDoc::~CErreurDoc() = default;

void CErreurDoc::attachView(CErreurView* view) {
    m_view = view;
    setParent(view);
}

void CErreurDoc::SetErrorList(std::unique_ptr<ListErreur> list) {
    CErreurView* view = firstView();
    m_list.reset();
    if (view) view->deleteAllRows();
    m_list = std::move(list);
    if (!m_list || !view) return;
    // Each diagnostic goes to the top, so the list reads in the reverse of the order the
    // assembler's list yields them.
    for (ErreurAsm* e = m_list->GetFirstErreur(); e != nullptr; e = m_list->GetNextErreur()) {
        const std::string text = e->LitErreur();
        view->AddErrorRow(0, QFile::decodeName(QByteArray::fromStdString(e->LitFichier())), e->LitLigne(),
                          QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
}

}  // namespace korvan::build
