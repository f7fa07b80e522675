#pragma once
#include <memory>
#include <string>

class BitmapData;

// A loaded bitmap, split into frames that are stacked vertically or lie side
// by side. Copies share the decoded pixels. Sizes are in layout units; frames
// are counted from 1.
class IBitmap
{
public:
  IBitmap() = default;
  explicit IBitmap(std::shared_ptr<const BitmapData> bitmapData) : data(std::move(bitmapData)) {}

  bool IsValid() const { return data != nullptr; }
  int W() const;
  int H() const;
  int N() const;
  bool GetFramesAreHorizontal() const;
  // One frame's size: the strip's length divided by the frame count
  // (integer division) along the stacking direction.
  int FW() const;
  int FH() const;
  const std::string& GetResourceName() const;

  const std::shared_ptr<const BitmapData>& Data() const { return data; }

private:
  std::shared_ptr<const BitmapData> data;
};
