#pragma once
// What the command senders need to know about the selected sonde. The sonde database implements it;
// tests and tools use FixedSondeInfo.

namespace quelt {

class SondeInfo {
  public:
    virtual ~SondeInfo() = default;
    // Height offset of the selected sonde, centimetres.
    virtual double heightOffsetCm() const = 0;
    // The selected sonde is a high-speed sonde (HighSpeedCOM).
    virtual bool highSpeed() const = 0;
};

class FixedSondeInfo final : public SondeInfo {
  public:
    explicit FixedSondeInfo(double heightOffsetCm = 0, bool highSpeed = false)
        : height_(heightOffsetCm), highSpeed_(highSpeed) {}
    double heightOffsetCm() const override { return height_; }
    bool highSpeed() const override { return highSpeed_; }

  private:
    double height_;
    bool highSpeed_;
};

}  // namespace quelt
