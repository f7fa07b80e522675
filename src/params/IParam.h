#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "params/IString.h"

class IParam;

// Writes a value's display text. Held as a plain function pointer so that it
// can be swapped atomically while another thread draws the parameter.
using DisplayFunc = void (*)(double value, IString& text);

// Reads a typed text in the form a display function writes it, giving the
// plain value it stands for; false when the text is not of that form. It is
// given the text already trimmed of blanks and limited in length.
using TextReader = bool (*)(std::string_view text, double& value);

// How a parameter maps between its plain value and the normalised 0..1 that
// hosts, controls and MIDI use.
class Shape
{
public:
  virtual ~Shape() = default;
  virtual std::unique_ptr<Shape> Clone() const = 0;
  virtual void Init(const IParam&) {}
  virtual int GetDisplayType() const = 0;
  virtual double NormalizedToValue(double n, const IParam& param) const = 0;
  virtual double ValueToNormalized(double v, const IParam& param) const = 0;
};

class ShapeLinear : public Shape
{
public:
  std::unique_ptr<Shape> Clone() const override { return std::make_unique<ShapeLinear>(*this); }
  int GetDisplayType() const override { return 0; }
  double NormalizedToValue(double n, const IParam& param) const override;
  double ValueToNormalized(double v, const IParam& param) const override;
};

class ShapePowCurve : public Shape
{
public:
  explicit ShapePowCurve(double exponent) : shape(exponent) {}
  std::unique_ptr<Shape> Clone() const override { return std::make_unique<ShapePowCurve>(*this); }
  int GetDisplayType() const override;
  double NormalizedToValue(double n, const IParam& param) const override;
  double ValueToNormalized(double v, const IParam& param) const override;

private:
  double shape;
};

class ShapeExp : public Shape
{
public:
  std::unique_ptr<Shape> Clone() const override { return std::make_unique<ShapeExp>(*this); }
  void Init(const IParam& param) override;
  int GetDisplayType() const override { return 1; }
  double NormalizedToValue(double n, const IParam& param) const override;
  double ValueToNormalized(double v, const IParam& param) const override;

private:
  double add = 1.0;
  double mul = 1.0;
};

class IParam
{
public:
  enum EParamType : int32_t { kTypeNone = 0, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble };
  enum EFlags : int32_t
  {
    kFlagsNone = 0,
    kFlagCannotAutomate = 1,
    kFlagStepped = 2,
    kFlagNegateDisplay = 4,
    kFlagSignDisplay = 8,
  };
  static constexpr int32_t kUnitCustom = 21;
  static constexpr int kMaxTextLength = 32;

  IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label, int flags, const char* group, const Shape& shape,
                  int32_t unit, DisplayFunc displayFunc);
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
               int flags, const char* group);
  void InitBool(const char* name, bool defaultVal, const char* label, int flags, const char* group,
                const char* offText, const char* onText);
  void SetDisplayText(double value, const char* text);
  void SetDisplayFunc(DisplayFunc func) { displayFunction.store(func, std::memory_order_release); }
  DisplayFunc GetDisplayFunc() const { return displayFunction.load(std::memory_order_acquire); }
  // Set once with the display function; it must read every form that any
  // display function this parameter is given can write.
  void SetTextReader(TextReader reader) { textReader = reader; }

  double Value() const { return value.load(std::memory_order_acquire); }
  void Set(double v) { value.exchange(Constrain(v), std::memory_order_acq_rel); }
  double GetDefault() const { return defaultValue; }

  double Constrain(double v) const;
  double ToNormalized(double v) const;
  double FromNormalized(double n) const;
  double GetNormalized() const { return ToNormalized(Value()); }
  void SetNormalized(double n) { value.exchange(FromNormalized(n), std::memory_order_acq_rel); }

  void GetBounds(double& lo, double& hi) const { lo = min; hi = max; }
  double GetMin() const { return min; }
  double GetMax() const { return max; }
  double GetStep() const { return step; }
  EParamType Type() const { return type; }
  int32_t Unit() const { return unit; }
  int GetFlags() const { return flags; }
  bool GetStepped() const { return (flags & kFlagStepped) != 0; }
  bool GetCanAutomate() const { return (flags & kFlagCannotAutomate) == 0; }
  const Shape& GetShape() const { return *shape; }
  const char* GetName() const { return name; }
  const char* GetLabel() const;
  const char* GetGroup() const { return group; }
  int GetDisplayPrecision() const { return displayPrecision; }
  void SetDisplayPrecision(int precision) { displayPrecision = precision; }

  void GetDisplay(double value, bool normalized, IString& out, bool withDisplayText = true) const;
  void GetDisplay(IString& out, bool withDisplayText = true) const { GetDisplay(Value(), false, out, withDisplayText); }
  void GetDisplayWithLabel(IString& out, bool withDisplayText = true) const;
  const char* GetDisplayText(double value) const;
  int NDisplayTexts() const { return static_cast<int>(displayTexts.size()); }
  const char* GetDisplayTextAtIdx(int index, double* value = nullptr) const;
  bool MapDisplayText(const char* text, double* value) const;
  // Reads what a user typed for this parameter: the one reader behind every
  // text field and command line. Takes a shown text in any letter case, with
  // blanks around it or before its unit ("wet", "40 %"), or a bare number.
  // A bare number is always a plain value (a speed in Hz, but a feedback of
  // 0.4 rather than 0.4 %) and is given back as it stands, unconstrained, so
  // that callers decide whether to limit or refuse it; a shown form whose
  // value lies outside the range is refused. False, and value untouched,
  // for anything else.
  bool ReadText(const char* text, double& value) const;
  double StringToValue(const char* text) const;

private:
  struct DisplayText
  {
    double value;
    char text[kMaxTextLength];
  };

  bool fitShownValue(double value, double& result) const;

  EParamType type = kTypeNone;
  int32_t unit = kUnitCustom;
  std::atomic<double> value{0.0};
  double min = 0.0;
  double max = 1.0;
  double step = 1.0;
  double defaultValue = 0.0;
  int32_t displayPrecision = 0;
  int32_t flags = 0;
  char name[kMaxTextLength] = {};
  char label[kMaxTextLength] = {};
  char group[kMaxTextLength] = {};
  std::unique_ptr<Shape> shape;
  std::atomic<DisplayFunc> displayFunction{nullptr};
  TextReader textReader = nullptr;
  std::vector<DisplayText> displayTexts;
};
