// The play thread: one loop for the whole run of the program. Each pass the
// engine feeds the device and moves on at the end of a track; the thread
// then draws what changed on the face, keeps the caption up to date and
// rests when there is nothing to do.
#include <windows.h>

#include "core/Player.h"
#include "platform/Win32Handles.h"

namespace {

// A build for measuring the analyser's cost leaves its step out.
#ifdef TARVEL_NO_SPECTRUM
constexpr bool SpectrumStep = false;
#else
constexpr bool SpectrumStep = true;
#endif

}  // namespace

unsigned __stdcall CPlayer::PlayThreadProc(void* argument)
{
    static_cast<CPlayer*>(argument)->RunPlayThread();
    return 1;
}

void CPlayer::RunPlayThread()
{
    // The analyser's window: the PCM being heard.
    std::int16_t spectrumWindow[2 * PcmWindowFrames] = {};
    // The thread's context of the main window for the analyser and the
    // playing time, title and seek bar: kept while the thread runs (which
    // ends before the window goes) rather than taken for every drawing.
    HeldWindowDc faceDc;

    // The thread's message queue exists from here on, so the stop message
    // can always be posted.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    for (;;) {
        if (PlayThreadStopping) {
            bool stop = false;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
                stop = stop || message.message == WM_APP_STOP_THREAD;
            if (stop)
                break;
        }
        // Nothing is drawn for a face no one can see.
        const bool shown = IsFaceShown();
        const PassResult pass = Engine.RunPass(shown, SpectrumStep ? spectrumWindow : nullptr);
        if (pass.SpectrumDue)
            UpdateSpectrum(faceDc.Of(MainWindow), spectrumWindow);
        if (pass.Playing && shown)
            Face.DrawPlaying(faceDc.Of(MainWindow));
        UpdateCaption();
        // Never rest holding the engine lock: the interface thread waits
        // for it to draw and to carry out commands.
        if (pass.RestMs != 0)
            Sleep(pass.RestMs);
    }
    Engine.CloseStream();
}
