// A readable JSON form of liner and format files, for scripts and checks.
#pragma once

#include <QJsonObject>
#include <optional>
#include <string>

#include "document/liner.h"
#include "document/liner_file.h"

// Font-coded text as a Unicode string: "{font N}" is a font change, "{tab}" a
// tab mark, "{{" a brace, CR LF a line break ("\n"), and "{xHH}" any other
// byte that could not otherwise come back (a lone CR or LF, a dangling font
// change).  Each run's characters are in the code page of its font in
// `fonts`, the text starting in font `standard`; without fonts, Western.
QString FontCodedToJson(const std::string& bytes, const std::vector<FontEntry>* fonts = nullptr, int standard = 0);
// The way back.  With `fonts`, a character the run's font lacks is stored
// with a variant of that font (added to `fonts` when there is none yet).
std::optional<std::string> FontCodedFromJson(const QString& text, QString* error,
                                             std::vector<FontEntry>* fonts = nullptr, int standard = 0);

QJsonObject LinerToJson(const Liner& liner, FileKind kind);

// Builds a Liner from its JSON form.  Measurements may be objects with their
// five stored numbers, or just the text a user would type ("1.5 in").
std::optional<Liner> LinerFromJson(const QJsonObject& json, FileKind kind, QString* error);
