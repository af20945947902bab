#pragma once

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace dunmoor::testing
{

/** A small checker of the markup the report writes: every tag closes in order (void and
    self-closed elements aside), attribute values are double-quoted and hold no "<", text
    holds no bare "<" or ">", and every "&" starts an entity. Script and style bodies are
    skipped. Returns the first fault, or the empty text. */
inline std::string findMarkupFault (const std::string& html)
{
    static const std::set<std::string> voidElements { "meta", "br", "hr", "img", "input", "link" };
    std::vector<std::string> open;
    const auto at = [] (size_t i) { return " at byte " + std::to_string (i); };

    for (size_t i = 0; i < html.size();)
    {
        const auto c = html[i];

        if (c == '<')
        {
            if (html.compare (i, 9, "<!doctype") == 0)
            {
                i = html.find ('>', i) + 1;
                continue;
            }

            const bool closing = i + 1 < html.size() && html[i + 1] == '/';
            auto j = i + (closing ? 2 : 1);
            const auto nameStart = j;

            while (j < html.size() && (std::isalnum ((unsigned char) html[j]) || html[j] == '-'))
                ++j;

            const auto name = html.substr (nameStart, j - nameStart);

            if (name.empty())
                return "bare <" + at (i);

            bool selfClosed = false;

            while (j < html.size() && html[j] != '>')
            {
                if (html[j] == '"')
                {
                    const auto end = html.find ('"', j + 1);

                    if (end == std::string::npos)
                        return "unterminated attribute" + at (j);

                    if (html.substr (j, end - j).find ('<') != std::string::npos)
                        return "< in an attribute" + at (j);

                    j = end + 1;
                    continue;
                }

                if (html[j] == '<' || html[j] == '\'')
                    return "stray character in tag" + at (j);

                selfClosed = html[j] == '/' && j + 1 < html.size() && html[j + 1] == '>';
                ++j;
            }

            if (j >= html.size())
                return "unterminated tag" + at (i);

            i = j + 1;

            if (closing)
            {
                if (open.empty() || open.back() != name)
                    return "</" + name + "> does not close " + (open.empty() ? "anything" : open.back()) + at (nameStart);

                open.pop_back();
            }
            else if (! selfClosed && voidElements.count (name) == 0)
            {
                open.push_back (name);

                if (name == "script" || name == "style")
                {
                    i = html.find ("</" + name + ">", i);

                    if (i == std::string::npos)
                        return "unterminated " + name;
                }
            }
        }
        else if (c == '&')
        {
            auto j = i + 1;

            if (j < html.size() && html[j] == '#')
                ++j;

            const auto start = j;

            while (j < html.size() && std::isalnum ((unsigned char) html[j]))
                ++j;

            if (j == start || j >= html.size() || html[j] != ';')
                return "bare &" + at (i);

            i = j + 1;
        }
        else if (c == '>')
        {
            return "bare >" + at (i);
        }
        else
        {
            ++i;
        }
    }

    return open.empty() ? std::string() : "<" + open.back() + "> left open";
}

} // namespace dunmoor::testing
