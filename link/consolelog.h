// Diagnostic lines of the converter link. They go to the process's standard
// error and, when the program has installed one, to a sink that shows them
// in its log window.
#pragma once

#include <QString>

#include <functional>

using ConsoleSink = std::function<void(const QString& text)>;

// printf-style; the text is passed on exactly as formatted (newline included).
void consolePrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Installs the sink (an empty function removes it). The sink is called on
// the thread that prints, so a window should forward the text queued.
void setConsoleSink(ConsoleSink sink);
