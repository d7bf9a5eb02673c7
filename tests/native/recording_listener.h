#pragma once

// Stands in for the console: records the error boxes the link shows and the converter's returns,
// and runs what the box's message loop would run while it is open.

#include <functional>
#include <string>
#include <vector>

#include "converter/converter_link.h"

struct ShownBox {
    std::string text;
    std::string caption;
};

class RecordingListener final : public ConverterListener {
public:
    void ShowCommError(const char* text, const char* caption) override
    {
        boxes.push_back({text, caption});
        if (whileBoxOpen) {
            whileBoxOpen();
        }
    }
    void ConverterBack() override
    {
        ++backCount;
        if (onBack) {
            onBack();
        }
    }
    void ConverterLost() override { ++lostCount; }
    void ConverterFound() override
    {
        ++foundCount;
        if (onFound) {
            onFound();
        }
    }

    std::vector<ShownBox> boxes;
    std::function<void()> whileBoxOpen;  // commands sent from the box's message loop
    int backCount = 0;
    std::function<void()> onBack;
    int lostCount = 0;
    int foundCount = 0;
    std::function<void()> onFound;  // what the console sends a converter found again
};
