#pragma once

#include "app/CommandRouter.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace quenda {

class MainWindow;

// A document holds no data: the samples live in the recording store. It only
// keeps a view open; a new one has an empty title.
class ViewDocument : public QObject {
    Q_OBJECT
public:
    explicit ViewDocument(QObject* parent = nullptr) : QObject(parent) {}
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }

private:
    QString title_;
};

// Makes the view of a new document; the main window parents it.
using ViewFactory = std::function<QWidget*(MainWindow& frame)>;

// A document template: the document, its window and this view.
struct DocumentTemplate {
    DocKind kind;
    ViewFactory createView;
};

}  // namespace quenda
