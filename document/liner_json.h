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
// change).
QString FontCodedToJson(const std::string& bytes);
std::optional<std::string> FontCodedFromJson(const QString& text, QString* error);

QJsonObject LinerToJson(const Liner& liner, FileKind kind);

// Builds a Liner from its JSON form.  Measurements may be objects with their
// five stored numbers, or just the text a user would type ("1.5 in").
std::optional<Liner> LinerFromJson(const QJsonObject& json, FileKind kind, QString* error);
