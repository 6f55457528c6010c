#pragma once

class QString;

// A screen reader finds a program by its top-level window: a frame named by its caption.
// Qt presents a window made from a plain widget as a client area ("filler"); after this
// call, top-level windows of the named class are presented as frames.
void presentAsFrame(const QString &className);
