// The error-list document: owns the diagnostics of the last assembly that did not go on to the
// monitor, and refills its view whenever it is given a new list.
#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class ListErreur;

namespace korvan::build {

class CErreurView;

class CErreurDoc : public QObject {
    Q_OBJECT
public:
    CErreurDoc();
    ~CErreurDoc() override;

    // Takes ownership of list (the one held before is destroyed) and shows its diagnostics.
    void SetErrorList(std::unique_ptr<ListErreur> list);
    // The list held, or null before the first SetErrorList.
    ListErreur* errorList() const { return m_list.get(); }

    // The document has exactly one view, which owns it.
    CErreurView* firstView() const { return m_view; }
    void attachView(CErreurView* view);

private:
    std::unique_ptr<ListErreur> m_list;
    QPointer<CErreurView> m_view;
};

}  // namespace korvan::build
