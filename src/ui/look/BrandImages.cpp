#include "ui/look/BrandImages.h"

#include <map>

#include <BrackenfoldResources.h>

namespace dunmoor::ui
{

namespace
{
    struct BrandImageCache
    {
        std::map<juce::String, juce::Image> decoded;
        std::map<juce::String, juce::Image> scaled;
    };

    BrandImageCache& cache()
    {
        static BrandImageCache instance;
        return instance;
    }

    bool isOpaqueBlack (juce::Colour c)
    {
        return c.getAlpha() >= 250 && c.getRed() <= 12 && c.getGreen() <= 12 && c.getBlue() <= 12;
    }

    bool matches (juce::Colour a, juce::Colour reference)
    {
        if (a.getAlpha() < 8 && reference.getAlpha() < 8)
            return true;

        const auto close = [] (juce::uint8 x, juce::uint8 y) { return std::abs ((int) x - (int) y) <= 6; };
        return close (a.getAlpha(), reference.getAlpha()) && close (a.getRed(), reference.getRed())
               && close (a.getGreen(), reference.getGreen()) && close (a.getBlue(), reference.getBlue());
    }

    juce::Image keyBlack (const juce::Image& source)
    {
        const auto width = source.getWidth();
        const auto height = source.getHeight();
        juce::Image keyed (juce::Image::ARGB, width, height, true);

        const juce::Image::BitmapData in (source, juce::Image::BitmapData::readOnly);
        juce::Image::BitmapData out (keyed, juce::Image::BitmapData::writeOnly);

        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < width; ++x)
            {
                const auto c = in.getPixelColour (x, y);
                const auto alpha = juce::jmax (c.getRed(), c.getGreen(), c.getBlue());
                // setPixelColour stores premultiplied values, as ARGB images must hold them.
                out.setPixelColour (x, y, juce::Colour (c.getRed(), c.getGreen(), c.getBlue(), alpha));
            }
        }

        return keyed;
    }

    juce::Rectangle<int> contentBounds (const juce::Image& image)
    {
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
        const auto width = image.getWidth();
        const auto height = image.getHeight();
        const auto reference = data.getPixelColour (0, 0);

        const auto rowIsMargin = [&] (int y)
        {
            for (int x = 0; x < width; ++x)
                if (! matches (data.getPixelColour (x, y), reference))
                    return false;
            return true;
        };

        const auto columnIsMargin = [&] (int x)
        {
            for (int y = 0; y < height; ++y)
                if (! matches (data.getPixelColour (x, y), reference))
                    return false;
            return true;
        };

        int top = 0;
        while (top < height - 1 && rowIsMargin (top))
            ++top;

        int bottom = height - 1;
        while (bottom > top && rowIsMargin (bottom))
            --bottom;

        int left = 0;
        while (left < width - 1 && columnIsMargin (left))
            ++left;

        int right = width - 1;
        while (right > left && columnIsMargin (right))
            --right;

        return { left, top, right - left + 1, bottom - top + 1 };
    }
} // namespace

const void* findEmbeddedResource (const juce::String& fileName, int& sizeInBytes)
{
    sizeInBytes = 0;
    const auto name = fileName.replaceCharacter ('.', '_').replaceCharacter ('-', '_');
    return BrackenfoldResources::getNamedResource (name.toRawUTF8(), sizeInBytes);
}

juce::Image prepareBrandImage (const juce::Image& decoded)
{
    if (! decoded.isValid() || decoded.getWidth() < 2 || decoded.getHeight() < 2)
        return decoded;

    auto image = decoded;
    const auto w = image.getWidth() - 1;
    const auto h = image.getHeight() - 1;

    if (isOpaqueBlack (image.getPixelAt (0, 0)) && isOpaqueBlack (image.getPixelAt (w, 0))
        && isOpaqueBlack (image.getPixelAt (0, h)) && isOpaqueBlack (image.getPixelAt (w, h)))
        image = keyBlack (image);

    const auto bounds = contentBounds (image);
    if (bounds.getWidth() >= 2 && bounds.getHeight() >= 2 && bounds != image.getBounds())
        return image.getClippedImage (bounds).createCopy();

    return image;
}

juce::Image loadBrandImage (const juce::String& fileName)
{
    int size = 0;
    const auto* data = findEmbeddedResource (fileName, size);
    if (data == nullptr || size <= 0)
        return {};

    return prepareBrandImage (juce::ImageFileFormat::loadFrom (data, (size_t) size));
}

juce::Image getBrandImage (const juce::String& fileName)
{
    auto& decoded = cache().decoded;
    const auto found = decoded.find (fileName);
    if (found != decoded.end())
        return found->second;

    auto image = loadBrandImage (fileName);
    decoded[fileName] = image;
    return image;
}

juce::Image getScaledBrandImage (const juce::String& fileName, int width, int height)
{
    const auto base = getBrandImage (fileName);
    if (base.isNull() || width <= 0 || height <= 0)
        return {};

    if (base.getWidth() == width && base.getHeight() == height)
        return base;

    auto& scaled = cache().scaled;
    const auto key = fileName + "|" + juce::String (width) + "x" + juce::String (height);
    const auto found = scaled.find (key);
    if (found != scaled.end())
        return found->second;

    if (scaled.size() >= 32)
        scaled.clear();

    // Halving first keeps thin strokes when a large logo is drawn small.
    auto image = base;
    while (image.getWidth() >= 2 * width && image.getHeight() >= 2 * height && image.getWidth() >= 3 && image.getHeight() >= 3)
        image = image.rescaled (image.getWidth() / 2, image.getHeight() / 2, juce::Graphics::highResamplingQuality);

    if (image.getWidth() != width || image.getHeight() != height)
        image = image.rescaled (width, height, juce::Graphics::highResamplingQuality);

    scaled[key] = image;
    return image;
}

juce::Rectangle<int> drawBrandImage (juce::Graphics& g, const juce::String& fileName, juce::Rectangle<int> area)
{
    const auto base = getBrandImage (fileName);
    if (base.isNull() || area.getWidth() <= 0 || area.getHeight() <= 0)
        return {};

    const auto scale = juce::jmin ((double) area.getWidth() / base.getWidth(), (double) area.getHeight() / base.getHeight(), 1.0);
    const auto drawnWidth = juce::roundToInt (base.getWidth() * scale);
    const auto drawnHeight = juce::roundToInt (base.getHeight() * scale);
    if (drawnWidth <= 0 || drawnHeight <= 0)
        return {};

    const juce::Rectangle<int> drawn (area.getX(), area.getY() + (area.getHeight() - drawnHeight) / 2, drawnWidth, drawnHeight);
    const auto image = getScaledBrandImage (fileName, juce::jmin (2 * drawnWidth, base.getWidth()), juce::jmin (2 * drawnHeight, base.getHeight()));

    g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);
    g.drawImage (image, drawn.toFloat(), juce::RectanglePlacement::centred);
    return drawn;
}

} // namespace dunmoor::ui
