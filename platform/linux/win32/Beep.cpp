// Beep: a sine tone through SDL audio. Like Windows' Beep it returns when the tone is over;
// without an audio device it stays silent but takes the same time.
#include "platform/linux/win32/Internal.h"

#include <SDL.h>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <vector>

namespace {

constexpr int kRate = 44100;
SDL_AudioDeviceID g_audio = 0;
bool g_audioTried = false;

SDL_AudioDeviceID OpenAudio() {
    if (g_audioTried)
        return g_audio;
    g_audioTried = true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return 0;
    SDL_AudioSpec wanted{};
    wanted.freq = kRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 1024;
    g_audio = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (g_audio == 0)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return g_audio;
}

void Wait(DWORD milliseconds) {
    timespec left{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace

BOOL Beep(DWORD frequency, DWORD duration) {
    if (const auto& sink = layer::BeepSink()) {
        sink(frequency, duration);
        return TRUE;
    }
    if (frequency < 37 || frequency > 32767) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SDL_AudioDeviceID audio = OpenAudio();
    if (audio == 0) {
        Wait(duration);
        return TRUE;
    }
    size_t count = size_t(uint64_t(duration) * kRate / 1000);
    std::vector<int16_t> samples(count);
    // A short fade at both ends keeps the tone free of clicks.
    const size_t fade = std::min<size_t>(count / 2, kRate / 200);
    const double step = 2.0 * M_PI * frequency / kRate;
    for (size_t i = 0; i < count; ++i) {
        double gain = 1.0;
        if (i < fade)
            gain = double(i) / fade;
        else if (count - i <= fade)
            gain = double(count - i) / fade;
        samples[i] = int16_t(std::lround(std::sin(step * double(i)) * 12000.0 * gain));
    }
    SDL_ClearQueuedAudio(audio);
    if (count > 0 && SDL_QueueAudio(audio, samples.data(), Uint32(count * sizeof(int16_t))) == 0)
        SDL_PauseAudioDevice(audio, 0);
    Wait(duration);
    // Let the device play out what it still holds, but never wait long for a stuck one.
    for (int i = 0; i < 50 && SDL_GetQueuedAudioSize(audio) > 0; ++i)
        Wait(2);
    SDL_PauseAudioDevice(audio, 1);
    return TRUE;
}
