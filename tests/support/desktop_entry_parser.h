// A Desktop Entry reader of our own, used to check that what the program
// writes comes back as the same command: the string-value escapes first, then
// the command line's quoting, then the doubled percent sign.
#pragma once

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace test {

inline std::optional<std::string> UnescapeString(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        // \s \n \t \r \\, and no other escape.
        const std::size_t escape =
            ++i < value.size() ? std::string("sntr\\").find(value[i]) : std::string::npos;
        if (escape == std::string::npos) {
            return std::nullopt;
        }
        out += " \n\t\r\\"[escape];
    }
    return out;
}

// Splits an unescaped Exec line into arguments; nullopt when malformed
// (unterminated quote, a reserved character outside quotes, a lone %).
inline std::optional<std::vector<std::string>> SplitExec(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            inArg = true;
            for (++i;; ++i) {
                if (i >= line.size()) {
                    return std::nullopt;
                }
                if (line[i] == '"') {
                    break;
                }
                if (line[i] == '\\') {
                    if (i + 1 >= line.size()) {
                        return std::nullopt;
                    }
                    const char next = line[i + 1];
                    if (next != '"' && next != '`' && next != '$' && next != '\\') {
                        return std::nullopt;
                    }
                    ++i;
                } else if (line[i] == '`' || line[i] == '$') {
                    return std::nullopt;
                }
                current += line[i];
            }
        } else if (c == ' ') {
            if (inArg) {
                args.push_back(current);
                current.clear();
                inArg = false;
            }
        } else {
            if (std::string("\t\n'><~|&;$*?#()`\\").find(c) != std::string::npos) {
                return std::nullopt;
            }
            inArg = true;
            current += c;
        }
    }
    if (inArg) {
        args.push_back(current);
    }
    // Field codes: only %% may stand in a command that takes no files.
    for (std::string& arg : args) {
        std::string plain;
        for (std::size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] == '%') {
                if (i + 1 >= arg.size() || arg[i + 1] != '%') {
                    return std::nullopt;
                }
                ++i;
            }
            plain += arg[i];
        }
        arg = plain;
    }
    return args;
}

// The Exec= value of the file's [Desktop Entry] group, unparsed.
inline std::optional<std::string> ReadExecValue(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool inGroup = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] == '[') {
            inGroup = (line == "[Desktop Entry]");
        } else if (inGroup && line.rfind("Exec=", 0) == 0) {
            return line.substr(5);
        }
    }
    return std::nullopt;
}

// The command an entry runs, as arguments.
inline std::optional<std::vector<std::string>> ParseExec(const std::string& value) {
    const std::optional<std::string> line = UnescapeString(value);
    if (!line) {
        return std::nullopt;
    }
    return SplitExec(*line);
}

}  // namespace test
