#include "JsonValueReaders.h"

#include <cmath>
#include <limits>

#include "JsonText.h"

namespace dunmoor
{

namespace detail
{
    const juce::var* findJsonKey (const juce::var& object, const juce::String& key)
    {
        if (auto* o = object.getDynamicObject())
            return o->getProperties().getVarPointer (juce::Identifier (key));

        return nullptr;
    }
} // namespace detail

namespace
{
    using detail::findJsonKey;

    juce::String at (const juce::String& path, const juce::String& key) { return path + "." + key; }

    const juce::var* findJsonNumber (juce::StringArray& errors, const juce::var& object, const juce::String& key, const juce::String& path)
    {
        const auto* value = findJsonKey (object, key);

        if (value != nullptr && ! isJsonNumber (*value))
        {
            errors.add (at (path, key) + " must be a number.");
            return nullptr;
        }

        return value;
    }
} // namespace

bool isJsonNumber (const juce::var& v) { return v.isInt() || v.isInt64() || v.isDouble(); }

//==============================================================================
juce::String readJsonString (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                             const juce::String& path, const juce::String& missing)
{
    const auto* value = findJsonKey (object, key);

    if (value == nullptr)
        return missing;

    if (! value->isString())
    {
        errors.add (at (path, key) + " must be a string.");
        return missing;
    }

    auto text = value->toString();

    if (text.length() > maxJsonTextLength)
    {
        errors.add (at (path, key) + " is longer than the " + juce::String (maxJsonTextLength) + " character limit.");
        return missing;
    }

    return text;
}

juce::String readRequiredJsonString (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                     const juce::String& path)
{
    if (findJsonKey (object, key) == nullptr)
    {
        errors.add (at (path, key) + " is missing.");
        return {};
    }

    auto text = readJsonString (errors, object, key, path, {});

    if (text.trim().isEmpty())
        errors.add (at (path, key) + " must not be empty.");

    return text;
}

bool readJsonBool (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                   const juce::String& path, bool missing)
{
    const auto* value = findJsonKey (object, key);

    if (value == nullptr)
        return missing;

    if (! value->isBool())
    {
        errors.add (at (path, key) + " must be true or false.");
        return missing;
    }

    return (bool) *value;
}

int readJsonInt (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                 const juce::String& path, int missing, int minimum, int maximum)
{
    const auto* value = findJsonNumber (errors, object, key, path);

    if (value == nullptr)
        return missing;

    // Compared as a double first: a huge or non-finite value must never reach the int conversion.
    const auto d = (double) *value;
    const bool inRange = value->isDouble() ? (std::isfinite (d) && d >= (double) minimum && d <= (double) maximum)
                                           : ((juce::int64) *value >= minimum && (juce::int64) *value <= maximum);

    if (! inRange)
    {
        errors.add (at (path, key) + " must be between " + juce::String (minimum) + " and " + juce::String (maximum) + ".");
        return missing;
    }

    return value->isDouble() ? (int) d : (int) (juce::int64) *value;
}

double readJsonNumber (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                       const juce::String& path, double missing, double minimum, double maximum)
{
    const auto* value = findJsonNumber (errors, object, key, path);

    if (value == nullptr)
        return missing;

    const auto d = (double) *value;

    if (! std::isfinite (d) || d < minimum || d > maximum)
    {
        errors.add (at (path, key) + " is out of range.");
        return missing;
    }

    return d;
}

juce::int64 readJsonTime (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                          const juce::String& path, juce::int64 missing)
{
    const auto* value = findJsonNumber (errors, object, key, path);

    if (value == nullptr)
        return missing;

    if (! value->isDouble())
        return (juce::int64) *value;

    // 2^63 is exactly representable; anything at or beyond it does not fit.
    const auto d = (double) *value;
    constexpr double limit = 9223372036854775808.0;

    if (! std::isfinite (d) || d >= limit || d < -limit)
    {
        errors.add (at (path, key) + " is out of range.");
        return missing;
    }

    return (juce::int64) d;
}

uint32_t readJsonColour (juce::StringArray& errors, const juce::String& text, const juce::String& path, uint32_t missing)
{
    const auto digits = text.trim().removeCharacters ("#");

    if (digits.length() != 6 && digits.length() != 8)
    {
        errors.add (path + ": colour must be 6 or 8 hexadecimal digits.");
        return missing;
    }

    if (! digits.containsOnly ("0123456789abcdefABCDEF"))
    {
        errors.add (path + ": colour contains a non-hexadecimal character.");
        return missing;
    }

    auto argb = (uint32_t) digits.getHexValue64();

    if (digits.length() == 6)
        argb |= 0xff000000u;

    return argb;
}

juce::Array<juce::var> readJsonArray (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                      const juce::String& path, int limit)
{
    const auto* value = findJsonKey (object, key);

    if (value == nullptr || value->isVoid())
        return {};

    const auto* array = value->getArray();

    if (array == nullptr)
    {
        errors.add (at (path, key) + " must be an array.");
        return {};
    }

    if (array->size() > limit)
    {
        errors.add (at (path, key) + " has " + juce::String (array->size()) + " entries, the limit is " + juce::String (limit) + ".");
        return {};
    }

    return *array;
}

juce::StringArray readJsonStringArray (juce::StringArray& errors, const juce::var& object, const juce::String& key,
                                       const juce::String& path, int limit)
{
    juce::StringArray texts;

    for (const auto& entry : readJsonArray (errors, object, key, path, limit))
    {
        if (! entry.isString())
        {
            errors.add (at (path, key) + " must contain only strings.");
            continue;
        }

        const auto text = entry.toString();

        if (text.length() > maxJsonTextLength)
            errors.add (at (path, key) + " contains an over-long entry.");
        else if (text.trim().isNotEmpty())
            texts.add (text);
    }

    return texts;
}

} // namespace dunmoor
