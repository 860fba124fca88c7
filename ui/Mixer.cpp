// The master volume: the volume control of the mixer's speaker line.
#include <windows.h>
#include <mmsystem.h>

#include <new>

#include "core/WaveOut.h"

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
    if (mixerGetNumDevs() == 0)
        return Refuse("No audio mixer devices found.");
    if (mixerOpen(&Mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) {
        MessageBoxA(nullptr, "Error opening mixer DevId = 0", nullptr, MB_OK);
        if (Mixer != nullptr)
            mixerClose(Mixer);
        Mixer = nullptr;
        return false;
    }
    MIXERCAPSA caps{};
    mixerGetDevCapsA(0, &caps, sizeof caps);

    MIXERLINEA line{};
    for (DWORD d = 0; d < caps.cDestinations; ++d) {
        line = MIXERLINEA{};
        line.cbStruct = sizeof line;
        line.dwDestination = d;
        if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(Mixer), &line, MIXER_GETLINEINFOF_DESTINATION) ==
                MMSYSERR_NOERROR &&
            line.dwComponentType == MIXERLINE_COMPONENTTYPE_DST_SPEAKERS)
            break;
    }
    if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(Mixer), &line, MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR)
        return false;

    if (Controls == nullptr && line.cControls > 0)
        Controls = new (std::nothrow) MIXERCONTROLA[line.cControls]();
    if (Controls == nullptr)
        return Refuse("Unable to allocate memory needed...");
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.cControls = line.cControls;
    controls.cbmxctrl = sizeof(MIXERCONTROLA);
    controls.pamxctrl = Controls;
    if (mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(Mixer), &controls, MIXER_GETLINECONTROLSF_ALL) ==
        MMSYSERR_NOERROR) {
        DWORD i = 0;
        while (i < line.cControls && Controls[i].dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME)
            ++i;
        if (i == line.cControls)
            return Refuse("Unable to find volume control...");
        if (Controls[i].fdwControl & MIXERCONTROL_CONTROLF_DISABLED)
            return false;
        VolumeControl = static_cast<std::int32_t>(i);
    }
    const MIXERCONTROLA& control = Controls[VolumeControl];
    DetailChannels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : line.cChannels;
    DetailItems = (control.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? control.cMultipleItems : 1;
    const DWORD values = (DetailChannels ? DetailChannels : 1) * (DetailItems ? DetailItems : 1);
    Details = new (std::nothrow) DWORD[values]();
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
