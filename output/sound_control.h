// The interface thread's way to the sound of the stream that plays: pause and
// restart heard at once, and the player's own volume.
#pragma once

#include <cstdint>
#include <mutex>

class CWaveOutput;

class CSoundControl {
  public:
    // Hold the device of the playing stream where it is, and let it go on
    // from the same sample; nothing when no stream plays.
    static void Pause();
    static void Resume();
    // The player's volume word (low half left, high half right, 0..0xFFFF),
    // full at first. On a device with a volume of its own this is the
    // stream's volume as it is now, which the desktop's mixer may have moved;
    // elsewhere it is the gain that the wave output applies.
    static uint32_t GetVolume();
    static void SetVolume(uint32_t dwVolume);
    // The gain the wave output applies when its device has no volume.
    static uint32_t GetGain();
    // Silence that keeps the volume: the stream's mute on a device with a
    // volume of its own, no gain elsewhere. Off at first.
    static void SetMuted(bool bMuted);
    static bool IsMuted();

  private:
    friend class CWaveOutput;
    // The output registers itself once its device is open and leaves before
    // the device closes.
    static void Attach(CWaveOutput* pOutput);
    static void Detach(CWaveOutput* pOutput);
    // The volume word as last set or read, muted or not.
    static uint32_t StoredVolume();
};
