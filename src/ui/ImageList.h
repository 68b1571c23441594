// An image list: pictures by position, counted from 1. It shows nothing itself.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace trovander {

class ImageList : public QObject {
    Q_OBJECT
  public:
    ImageList(QStringList pictures, QObject* parent = nullptr)
        : QObject(parent), pictures_(std::move(pictures)) {}

    int count() const { return static_cast<int>(pictures_.size()); }
    // The picture (its role) at a position from 1; empty outside 1..count().
    QString ListImage(int positionFrom1) const {
        return positionFrom1 >= 1 && positionFrom1 <= count() ? pictures_[positionFrom1 - 1] : QString();
    }

  private:
    QStringList pictures_;
};

}  // namespace trovander
