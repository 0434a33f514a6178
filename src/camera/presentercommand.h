#pragma once

#include <QByteArray>

// A command from the annotation program to the presenter view.
enum class PresenterCommand
{
    None,
    RotateRight, // "RotateR"
    Photo,       // "Photo"
    Enlarge,     // "ZommOut": the peer's word for zooming out of the desk, i.e. in
    Reduce,      // "ZommIn"
    Freeze,      // "FreeZe"
};

// The one command a received text asks for: the words are found anywhere in the
// text, letter case included, and the first in the order above wins.
PresenterCommand presenterCommandIn(const QByteArray &text);
