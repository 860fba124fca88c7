// The master volume: the volume control of the mixer's speaker line.
#include <windows.h>
#include <mmsystem.h>

#include <new>

#include "platform/WaveOut.h"

namespace {

bool Refuse(const char* text)
{
    MessageBoxA(nullptr, text, nullptr, MB_OK);
    return false;
}

MIXERCONTROLDETAILS DetailsRecord(const CWaveOut& out)
{
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof details;
    details.dwControlID = out.Controls[out.VolumeControl].dwControlID;
    details.cChannels = 1;
    details.cMultipleItems = out.Controls[out.VolumeControl].cMultipleItems;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = out.Details;
    return details;
}

}  // namespace

bool CWaveOut::OpenMixer()
{
    CloseMixer();
    if (mixerGetNumDevs() == 0)
        return Refuse("No audio mixer devices found.");
    if (mixerOpen(&Mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        Mixer = nullptr;
        return Refuse("Error opening mixer DevId = 0");
    }
    // Every failure from here on closes the mixer again.
    if (!FindVolumeControl()) {
        CloseMixer();
        return false;
    }
    return true;
}

bool CWaveOut::FindVolumeControl()
{
    const auto object = reinterpret_cast<HMIXEROBJ>(Mixer);
    MIXERCAPSA caps{};
    if (mixerGetDevCapsA(0, &caps, sizeof caps) != MMSYSERR_NOERROR)
        return Refuse("Unable to find volume control...");

    // The speakers, or else the last destination that answered.
    MIXERLINEA line{};
    bool found = false;
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        MIXERLINEA candidate{};
        candidate.cbStruct = sizeof candidate;
        candidate.dwDestination = d;
        if (mixerGetLineInfoA(object, &candidate, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR)
            continue;
        line = candidate;
        found = true;
        if (candidate.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
            break;
    }
    if (!found || mixerGetLineInfoA(object, &line, MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR ||
        line.cControls == 0)
        return Refuse("Unable to find volume control...");

    Controls = new (std::nothrow) MIXERCONTROLA[line.cControls]();
    if (Controls == nullptr)
        return Refuse("Unable to allocate memory needed...");
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.cControls = line.cControls;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = Controls;
    if (mixerGetLineControlsA(object, &controls, MIXER_GETLINECONTROLSF_ALL) != MMSYSERR_NOERROR)
        return Refuse("Unable to find volume control...");
    DWORD i = 0;
    while (i < line.cControls && Controls[i].dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME)
        ++i;
    if (i == line.cControls)
        return Refuse("Unable to find volume control...");
    if (Controls[i].fdwControl & MIXERCONTROL_CONTROLF_DISABLED)
        return false;
    VolumeControl = static_cast<std::int32_t>(i);

    const MIXERCONTROLA& control = Controls[VolumeControl];
    DetailChannels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) || line.cChannels == 0 ? 1 : line.cChannels;
    DetailItems = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) && control.cMultipleItems > 0
                      ? control.cMultipleItems
                      : 1;
    Details = new (std::nothrow) DWORD[DetailChannels * DetailItems]();
    if (Details == nullptr)
        return Refuse("Unable to allocate required memory...");
    return true;
}

bool CWaveOut::CloseMixer()
{
    delete[] Details;
    Details = nullptr;
    delete[] Controls;
    Controls = nullptr;
    if (Mixer != nullptr)
        mixerClose(Mixer);
    Mixer = nullptr;
    VolumeControl = 0;
    DetailChannels = 0;
    DetailItems = 0;
    return true;
}

bool CWaveOut::GetMasterVolume(DWORD* value)
{
    if (Mixer == nullptr || Controls == nullptr || Details == nullptr)
        return false;
    MIXERCONTROLDETAILS details = DetailsRecord(*this);
    if (mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(Mixer), &details, MIXER_GETCONTROLDETAILSF_VALUE) !=
        MMSYSERR_NOERROR)
        return false;
    *value = Details[0];
    return true;
}

bool CWaveOut::SetMasterVolume(DWORD value)
{
    if (Mixer == nullptr || Controls == nullptr || Details == nullptr)
        return false;
    Details[0] = value;
    MIXERCONTROLDETAILS details = DetailsRecord(*this);
    return mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(Mixer), &details, MIXER_SETCONTROLDETAILSF_VALUE) ==
           MMSYSERR_NOERROR;
}
