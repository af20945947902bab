#include "ui/UiTestSupport.h"
#include "ui/look/BrandImages.h"

namespace dunmoor::ui
{
namespace
{

juce::Image filledImage (int width, int height, juce::Colour background, juce::Rectangle<int> block, juce::Colour blockColour)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (background);
    g.setColour (blockColour);
    g.fillRect (block);
    return image;
}

TEST (BrandImages, LogoOnBlackIsKeyedToTransparencyAndCropped)
{
    const auto image = prepareBrandImage (filledImage (40, 30, juce::Colours::black, { 10, 5, 12, 8 }, juce::Colour (0xffc86432)));

    ASSERT_EQ (image.getBounds(), juce::Rectangle<int> (12, 8)) << "the black margin is cut away";
    EXPECT_EQ (image.getFormat(), juce::Image::ARGB);

    // Alpha becomes the brightest channel, and the pixel is stored premultiplied as ARGB
    // images must be: no channel above alpha.
    const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
    const auto* pixel = reinterpret_cast<const juce::PixelARGB*> (data.getPixelPointer (3, 3));
    EXPECT_EQ (pixel->getAlpha(), 0xc8);
    EXPECT_LE (pixel->getRed(), pixel->getAlpha());
    EXPECT_NEAR (pixel->getGreen(), 0x64 * 0xc8 / 255, 1);
    EXPECT_NEAR (image.getPixelAt (3, 3).getBlue(), 0x32, 2);
}

TEST (BrandImages, OnlyBlackCornersAreKeyedAndOnlyUniformMarginsCropped)
{
    // A white margin is cropped but not keyed: the content stays opaque.
    const auto onWhite = prepareBrandImage (filledImage (50, 20, juce::Colours::white, { 5, 4, 30, 10 }, juce::Colours::black));
    EXPECT_EQ (onWhite.getBounds(), juce::Rectangle<int> (30, 10));
    EXPECT_EQ (onWhite.getPixelAt (0, 0), juce::Colours::black);

    // One corner that is not black: no keying, and the black margin (the top-left colour) is cut.
    auto corner = filledImage (20, 20, juce::Colours::black, { 8, 8, 4, 4 }, juce::Colours::white);
    corner.setPixelAt (19, 19, juce::Colours::red);
    const auto notKeyed = prepareBrandImage (corner);
    EXPECT_EQ (notKeyed.getBounds(), juce::Rectangle<int> (12, 12));
    EXPECT_EQ (notKeyed.getPixelAt (0, 0), juce::Colours::white);
    EXPECT_EQ (notKeyed.getPixelAt (1, 1).getAlpha(), 255) << "a black pixel stays opaque black";

    // A uniform image has no content to crop to, and an image without a margin stays whole.
    const auto uniform = prepareBrandImage (filledImage (16, 9, juce::Colours::white, {}, juce::Colours::white));
    EXPECT_EQ (uniform.getBounds(), juce::Rectangle<int> (16, 9));
    const auto full = prepareBrandImage (filledImage (16, 9, juce::Colours::white, { 0, 0, 16, 9 }, juce::Colours::blue));
    EXPECT_EQ (full.getBounds(), juce::Rectangle<int> (16, 9));
}

TEST (BrandImages, EmbeddedLogosLoadAndAreNeverDrawnLargerThanTheyAre)
{
    for (const auto* name : { productLogoFile, makerLogoFile })
    {
        const auto logo = getBrandImage (name);
        ASSERT_TRUE (logo.isValid()) << name;
        EXPECT_EQ (logo.getPixelAt (0, 0).getAlpha(), 0) << "the black background is keyed: " << name;

        int size = 0;
        const auto* bytes = findEmbeddedResource (name, size);
        ASSERT_NE (bytes, nullptr);
        const auto decoded = juce::ImageFileFormat::loadFrom (bytes, (size_t) size);
        EXPECT_LT (logo.getWidth(), decoded.getWidth()) << "the margin is cropped: " << name;

        const auto scaled = getScaledBrandImage (name, 40, 10);
        EXPECT_EQ (scaled.getBounds(), juce::Rectangle<int> (40, 10));

        // An area twice the logo's size draws it at its own size, at the left, centred vertically.
        juce::Image canvas (juce::Image::ARGB, logo.getWidth() * 2, logo.getHeight() * 2, true);
        juce::Graphics g (canvas);
        const auto drawn = drawBrandImage (g, name, canvas.getBounds());
        EXPECT_EQ (drawn, juce::Rectangle<int> (0, logo.getHeight() / 2, logo.getWidth(), logo.getHeight())) << name;

        // A narrow area scales it down, keeping its proportions.
        const auto small = drawBrandImage (g, name, { 0, 0, logo.getWidth() / 4, logo.getHeight() });
        EXPECT_EQ (small.getWidth(), logo.getWidth() / 4);
        EXPECT_NEAR (small.getHeight(), logo.getHeight() / 4, 1);
    }

    EXPECT_FALSE (getBrandImage ("no_such_logo.png").isValid());
    juce::Image canvas (juce::Image::ARGB, 10, 10, true);
    juce::Graphics g (canvas);
    EXPECT_TRUE (drawBrandImage (g, "no_such_logo.png", { 0, 0, 10, 10 }).isEmpty());
    EXPECT_TRUE (drawBrandImage (g, productLogoFile, { 0, 0, 0, 10 }).isEmpty());
}

} // namespace
} // namespace dunmoor::ui
