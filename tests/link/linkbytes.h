#pragma once

#include <QByteArray>

#include <initializer_list>

// Raw bytes written as numbers, the way the link's frames are quoted.
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}
