#pragma once

#include "app/CommandRouter.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace quenda {

class CMainFrame;

// A document holds no data: the samples live in the recording store. It only
// keeps a view open; a new one has an empty title.
class CTalloDoc : public QObject {
    Q_OBJECT
public:
    explicit CTalloDoc(QObject* parent = nullptr) : QObject(parent) {}
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

private:
    QString title_;
};

// Makes the view of a new document; the main window parents it.
using ViewFactory = std::function<QWidget*(CMainFrame& frame)>;

// A document template: the document, the child frame and this view.
struct CDocTemplate {
    DocKind kind;
    ViewFactory createView;
};

}  // namespace quenda
