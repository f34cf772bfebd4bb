#include "engine/ObjectCheck.h"

#include "engine/ExceptionObject.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kBase = 0x400000;
constexpr uint32_t kCodeRva = 0x1000;
constexpr uint32_t kCodeSize = 0x2000;
constexpr uint32_t kDataRva = 0x3000;
constexpr uint32_t kDataSize = 0x1000;
constexpr uint32_t kImageSize = 0x4000;

// A PE image in a buffer holding class records of the host runtime's layout.
class TFakeImage : public IModuleLocator {
public:
    explicit TFakeImage(unsigned pointerSize) : pointerSize_(pointerSize), bytes_(kImageSize, 0)
    {
        Put32(0, 0x5A4D);
        Put32(0x3C, 0x80);
        Put32(0x80, 0x4550);
        Put16(0x80 + 6, 2);                                 // sections
        Put16(0x80 + 20, pointerSize == 8 ? 0xF0 : 0xE0);   // optional header size
        const uint32_t optional = 0x80 + 24;
        Put16(optional, pointerSize == 8 ? 0x20B : 0x10B);
        Put32(optional + 4, kCodeSize);
        Put32(optional + 8, kDataSize);
        Put32(optional + 20, kCodeRva);
        if (pointerSize == 4)
            Put32(optional + 24, kDataRva);
        const uint32_t sections = optional + (pointerSize == 8 ? 0xF0 : 0xE0);
        AddSection(sections, kCodeRva, kCodeSize, 0x60000020);
        AddSection(sections + 40, kDataRva, kDataSize, 0xC0000040);
    }

    std::optional<uint64_t> ModuleBaseOf(uint64_t address) const override
    {
        if (address >= kBase && address < kBase + kImageSize)
            return kBase;
        return std::nullopt;
    }

    // A class record whose class pointer lies at rva; the self slot `distance` bytes before
    // (in 32-bit terms). Returns the class pointer.
    uint64_t AddClass(uint32_t rva, uint32_t distance, const std::string& name, uint64_t parentReference = 0,
                      const std::string& typeName = {})
    {
        const uint64_t classPointer = kBase + rva;
        const uint32_t self = rva - distance / 4 * pointerSize_;
        PutPointer(self, classPointer);
        const uint32_t nameRva = rva + 0x40;
        PutText(nameRva, name);
        PutPointer(self + 8 * pointerSize_, kBase + nameRva);
        if (!typeName.empty()) {
            const uint32_t typeRva = rva + 0x80;
            bytes_[typeRva] = 7; // the type's kind, then its name
            PutText(typeRva + 1, typeName);
            PutPointer(self + 4 * pointerSize_, kBase + typeRva);
        }
        PutPointer(self + 10 * pointerSize_, parentReference);
        return classPointer;
    }

    // The runtime's string at rva: its length in characters, then the characters.
    void PutRuntimeString(uint32_t rva, const std::u16string& text, bool wide)
    {
        const auto length = static_cast<int32_t>(text.size());
        std::memcpy(bytes_.data() + rva, &length, 4);
        for (size_t i = 0; i < text.size(); ++i) {
            if (wide)
                std::memcpy(bytes_.data() + rva + 4 + 2 * i, &text[i], 2);
            else
                bytes_[rva + 4 + i] = static_cast<uint8_t>(text[i]);
        }
    }

    void PutPointer(uint32_t rva, uint64_t value) { std::memcpy(bytes_.data() + rva, &value, pointerSize_); }
    void PutText(uint32_t rva, const std::string& text)
    {
        bytes_[rva] = static_cast<uint8_t>(text.size());
        std::memcpy(bytes_.data() + rva + 1, text.data(), text.size());
    }
    std::string_view Bytes() const { return {reinterpret_cast<const char*>(bytes_.data()), bytes_.size()}; }
    unsigned PointerSize() const { return pointerSize_; }

private:
    void Put16(uint32_t at, uint16_t value) { std::memcpy(bytes_.data() + at, &value, 2); }
    void Put32(uint32_t at, uint32_t value) { std::memcpy(bytes_.data() + at, &value, 4); }
    void AddSection(uint32_t at, uint32_t rva, uint32_t size, uint32_t flags)
    {
        Put32(at + 8, size);
        Put32(at + 12, rva);
        Put32(at + 36, flags);
    }

    unsigned pointerSize_;
    std::vector<uint8_t> bytes_;
};

class ObjectCheck : public testing::TestWithParam<unsigned> {
protected:
    ObjectCheck() : image_(GetParam()), memory_(image_.Bytes(), kBase) {}

    std::optional<TObjectClass> Check(uint64_t object, std::string_view ancestor = {})
    {
        memory_ = TBufferReader(image_.Bytes(), kBase);
        return CheckObject({memory_, image_, image_.PointerSize()}, object, ancestor);
    }

    // An object in the data section whose first word is the class pointer.
    uint64_t NewObject(uint64_t classPointer, uint32_t rva = 0x3800)
    {
        image_.PutPointer(rva, classPointer);
        return kBase + rva;
    }

    TFakeImage image_;
    TBufferReader memory_;
};

TEST_P(ObjectCheck, AClassRecordOfEitherLayoutPasses)
{
    const uint64_t older = image_.AddClass(0x1200, 76, "TWidget", 0, "TWidget");
    const uint64_t newer = image_.AddClass(0x1600, 88, "EAccessViolation");
    const auto first = Check(NewObject(older));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->className, "TWidget");
    EXPECT_FALSE(first->newerLayout);
    const auto second = Check(NewObject(newer, 0x3900));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->className, "EAccessViolation");
    EXPECT_TRUE(second->newerLayout);
}

TEST_P(ObjectCheck, AncestorsAreFoundThroughTheParentSlot)
{
    const uint64_t base = image_.AddClass(0x1200, 76, "Exception");
    image_.PutPointer(0x3400, base); // the variable the parent slot refers to
    const uint64_t derived = image_.AddClass(0x1600, 76, "EMyError", kBase + 0x3400);
    const uint64_t object = NewObject(derived);
    const auto found = Check(object, "Exception");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->className, "EMyError");
    EXPECT_FALSE(Check(object, "ZelException"));
}

TEST_P(ObjectCheck, RecordsThatDoNotHoldUpFail)
{
    const uint64_t wrongType = image_.AddClass(0x1200, 76, "TWidget", 0, "TGadget");
    EXPECT_FALSE(Check(NewObject(wrongType)));

    const uint64_t badName = image_.AddClass(0x1600, 76, "9Lives");
    EXPECT_FALSE(Check(NewObject(badName)));

    const uint64_t selfless = image_.AddClass(0x1A00, 76, "TWidget");
    image_.PutPointer(0x1A00 - 76 / 4 * image_.PointerSize(), kBase + 0x1A04);
    EXPECT_FALSE(Check(NewObject(selfless)));

    // A method-table slot pointing before the class record.
    const uint64_t strayTable = image_.AddClass(0x1E00, 76, "TWidget");
    image_.PutPointer(0x1E00 - 76 / 4 * image_.PointerSize() + 6 * image_.PointerSize(), kBase + 0x1000);
    EXPECT_FALSE(Check(NewObject(strayTable)));
}

TEST_P(ObjectCheck, PointersOutsideReadableMemoryFail)
{
    EXPECT_FALSE(Check(0));
    EXPECT_FALSE(Check(kBase + kImageSize + 16));
    EXPECT_FALSE(Check(NewObject(0x10)));               // class pointer into nowhere
    EXPECT_FALSE(Check(NewObject(kBase + kImageSize))); // class pointer just past the image
}

TEST_P(ObjectCheck, ExceptionMessagesComeFromTheMessageFieldInEitherLayout)
{
    const uint64_t exceptionClass = image_.AddClass(0x1200, 76, "Exception");
    image_.PutPointer(0x3400, exceptionClass);
    const uint64_t derived = image_.AddClass(0x1600, 76, "EMyError", kBase + 0x3400);
    const uint64_t object = NewObject(derived);
    image_.PutRuntimeString(0x3A00, u"  Disk\tfull\r\n\u00E9 ", false);
    image_.PutPointer(0x3800 + image_.PointerSize(), kBase + 0x3A04);
    EXPECT_EQ(ExceptionClassName({memory_, image_, image_.PointerSize()}, object), u"EMyError");
    memory_ = TBufferReader(image_.Bytes(), kBase);
    EXPECT_EQ(ExceptionMessage({memory_, image_, image_.PointerSize()}, object), u"Diskfull\r\n\u00E9");

    const uint64_t newerClass = image_.AddClass(0x1A00, 88, "ZelException");
    const uint64_t newer = NewObject(newerClass, 0x3900);
    image_.PutRuntimeString(0x3B00, u"\u20AC gone", true);
    image_.PutPointer(0x3900 + image_.PointerSize(), kBase + 0x3B04);
    memory_ = TBufferReader(image_.Bytes(), kBase);
    EXPECT_EQ(ExceptionMessage({memory_, image_, image_.PointerSize()}, newer), u"\u20AC gone");
}

TEST_P(ObjectCheck, OtherObjectsGiveTheirClassNameAndNoObjectGivesUnknown)
{
    const uint64_t plain = NewObject(image_.AddClass(0x1200, 76, "TWidget"));
    memory_ = TBufferReader(image_.Bytes(), kBase);
    const TObjectCheckTarget target{memory_, image_, image_.PointerSize()};
    EXPECT_EQ(ExceptionMessage(target, plain), u"TWidget");
    EXPECT_EQ(ExceptionClassName(target, kBase + 0x3F00), u"Unknown");
    EXPECT_EQ(ExceptionMessage(target, kBase + 0x3F00), u"Unknown");
    // An exception whose message is empty.
    image_.PutPointer(0x3400, image_.AddClass(0x1600, 76, "Exception"));
    const uint64_t silent = NewObject(image_.AddClass(0x1A00, 76, "ESilent", kBase + 0x3400), 0x3900);
    memory_ = TBufferReader(image_.Bytes(), kBase);
    EXPECT_EQ(ExceptionMessage(target, silent), u"Unknown");
}

INSTANTIATE_TEST_SUITE_P(PointerSizes, ObjectCheck, testing::Values(4u, 8u));

} // namespace
