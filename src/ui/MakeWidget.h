#pragma once
// A child widget owned by its parent, named so that tests can find it.
#include <QString>
#include <QWidget>
#include <utility>

namespace imgdl {

template <class Widget, class... Args>
Widget* Make(QWidget* parent, const QString& objectName, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(objectName);
    return widget;
}

}  // namespace imgdl
