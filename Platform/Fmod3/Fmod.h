#pragma once

// The subset of the FMOD 3 sound library that the engine calls, as the
// stand-in "fmod.dll" provides it. Names and values are FMOD's; the calling
// convention is the platform's own.

struct FSOUND_STREAM;
struct FSOUND_DSPUNIT;

typedef signed char (*FSOUND_STREAMCALLBACK)(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

// Channels
#define FSOUND_FREE (-1)
#define FSOUND_ALL (-3)
#define FSOUND_STEREOPAN (-1)

// Stream modes
#define FSOUND_16BITS 0x10
#define FSOUND_SIGNED 0x20
#define FSOUND_MONO 0x100
#define FSOUND_NORMAL (FSOUND_16BITS | FSOUND_SIGNED | FSOUND_MONO)
#define FSOUND_LOADMEMORY 0x8000
#define FSOUND_MPEGACCURATE 0x20000

// Error codes of FSOUND_GetError
enum FMOD_ERRORS {
    FMOD_ERR_NONE,
    FMOD_ERR_BUSY,
    FMOD_ERR_UNINITIALIZED,
    FMOD_ERR_INIT,
    FMOD_ERR_ALLOCATED,
    FMOD_ERR_PLAY,
    FMOD_ERR_OUTPUT_FORMAT,
    FMOD_ERR_COOPERATIVELEVEL,
    FMOD_ERR_CREATEBUFFER,
    FMOD_ERR_FILE_NOTFOUND,
    FMOD_ERR_FILE_FORMAT,
    FMOD_ERR_FILE_BAD,
    FMOD_ERR_MEMORY,
    FMOD_ERR_VERSION,
    FMOD_ERR_INVALID_PARAM,
    FMOD_ERR_NO_EAX,
    FMOD_ERR_CHANNEL_ALLOC,
    FMOD_ERR_RECORD,
    FMOD_ERR_MEDIAPLAYER
};

float FSOUND_GetVersion();
signed char FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned int flags);
void FSOUND_Close();
int FSOUND_GetError();

signed char FSOUND_Stream_SetBufferSize(int milliseconds);
FSOUND_STREAM* FSOUND_Stream_Open(const char* nameOrData, unsigned int mode, int offset, int length);
int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, FSOUND_DSPUNIT* dsp, signed char startPaused);
signed char FSOUND_Stream_Close(FSOUND_STREAM* stream);
int FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream);
signed char FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds);
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
signed char FSOUND_Stream_SetSyncCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData);
// The end callback's buffer is null, or, when the data cut the stream short,
// the decoder's reason as text of the given length.
signed char FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback, void* userData);

int FSOUND_GetFrequency(int channel);
signed char FSOUND_SetPan(int channel, int pan);
signed char FSOUND_SetVolume(int channel, int volume);
signed char FSOUND_SetPaused(int channel, signed char paused);
signed char FSOUND_IsPlaying(int channel);

namespace Fmod3 {

// Every decorated export of "fmod.dll" in the order of the library's
// dynamic-loading table: 182 FSOUND entries, then 43 FMUSIC entries.
constexpr int exportCount = 225;
inline constexpr const char* exportNames[exportCount] = {
    "_FSOUND_SetOutput@4", "_FSOUND_SetDriver@4", "_FSOUND_SetMixer@4", "_FSOUND_SetBufferSize@4",
    "_FSOUND_SetHWND@4", "_FSOUND_SetMinHardwareChannels@4", "_FSOUND_SetMaxHardwareChannels@4",
    "_FSOUND_SetMemorySystem@20", "_FSOUND_Init@12", "_FSOUND_Close@0", "_FSOUND_Update@0",
    "_FSOUND_SetSpeakerMode@4", "_FSOUND_SetSFXMasterVolume@4", "_FSOUND_SetPanSeperation@4",
    "_FSOUND_File_SetCallbacks@20", "_FSOUND_GetError@0", "_FSOUND_GetVersion@0",
    "_FSOUND_GetOutput@0", "_FSOUND_GetOutputHandle@0", "_FSOUND_GetDriver@0", "_FSOUND_GetMixer@0",
    "_FSOUND_GetNumDrivers@0", "_FSOUND_GetDriverName@4", "_FSOUND_GetDriverCaps@8",
    "_FSOUND_GetOutputRate@0", "_FSOUND_GetMaxChannels@0", "_FSOUND_GetMaxSamples@0",
    "_FSOUND_GetSFXMasterVolume@0", "_FSOUND_GetNumHWChannels@12", "_FSOUND_GetChannelsPlaying@0",
    "_FSOUND_GetCPUUsage@0", "_FSOUND_GetMemoryStats@8", "_FSOUND_Sample_Load@20",
    "_FSOUND_Sample_Alloc@28", "_FSOUND_Sample_Free@4", "_FSOUND_Sample_Upload@12",
    "_FSOUND_Sample_Lock@28", "_FSOUND_Sample_Unlock@20", "_FSOUND_Sample_SetMode@8",
    "_FSOUND_Sample_SetLoopPoints@12", "_FSOUND_Sample_SetDefaults@20",
    "_FSOUND_Sample_SetDefaultsEx@32", "_FSOUND_Sample_SetMinMaxDistance@12",
    "_FSOUND_Sample_SetMaxPlaybacks@8", "_FSOUND_Sample_Get@4", "_FSOUND_Sample_GetName@4",
    "_FSOUND_Sample_GetLength@4", "_FSOUND_Sample_GetLoopPoints@12",
    "_FSOUND_Sample_GetDefaults@20", "_FSOUND_Sample_GetDefaultsEx@32", "_FSOUND_Sample_GetMode@4",
    "_FSOUND_Sample_GetMinMaxDistance@12", "_FSOUND_PlaySound@8", "_FSOUND_PlaySoundEx@16",
    "_FSOUND_StopSound@4", "_FSOUND_SetFrequency@8", "_FSOUND_SetVolume@8",
    "_FSOUND_SetVolumeAbsolute@8", "_FSOUND_SetPan@8", "_FSOUND_SetSurround@8", "_FSOUND_SetMute@8",
    "_FSOUND_SetPriority@8", "_FSOUND_SetReserved@8", "_FSOUND_SetPaused@8",
    "_FSOUND_SetLoopMode@8", "_FSOUND_SetCurrentPosition@8", "_FSOUND_3D_SetAttributes@12",
    "_FSOUND_3D_SetMinMaxDistance@12", "_FSOUND_IsPlaying@4", "_FSOUND_GetFrequency@4",
    "_FSOUND_GetVolume@4", "_FSOUND_GetAmplitude@4", "_FSOUND_GetPan@4", "_FSOUND_GetSurround@4",
    "_FSOUND_GetMute@4", "_FSOUND_GetPriority@4", "_FSOUND_GetReserved@4", "_FSOUND_GetPaused@4",
    "_FSOUND_GetLoopMode@4", "_FSOUND_GetCurrentPosition@4", "_FSOUND_GetCurrentSample@4",
    "_FSOUND_GetCurrentLevels@12", "_FSOUND_GetNumSubChannels@4", "_FSOUND_GetSubChannel@8",
    "_FSOUND_3D_GetAttributes@12", "_FSOUND_3D_GetMinMaxDistance@12",
    "_FSOUND_3D_SetDopplerFactor@4", "_FSOUND_3D_SetDistanceFactor@4",
    "_FSOUND_3D_SetRolloffFactor@4", "_FSOUND_3D_Listener_SetCurrent@8",
    "_FSOUND_3D_Listener_SetAttributes@32", "_FSOUND_3D_Listener_GetAttributes@32",
    "_FSOUND_FX_Enable@8", "_FSOUND_FX_Disable@4", "_FSOUND_FX_SetChorus@32",
    "_FSOUND_FX_SetCompressor@28", "_FSOUND_FX_SetDistortion@24", "_FSOUND_FX_SetEcho@24",
    "_FSOUND_FX_SetFlanger@32", "_FSOUND_FX_SetGargle@12", "_FSOUND_FX_SetI3DL2Reverb@52",
    "_FSOUND_FX_SetParamEQ@16", "_FSOUND_FX_SetWavesReverb@20", "_FSOUND_Stream_SetBufferSize@4",
    "_FSOUND_Stream_Open@16", "_FSOUND_Stream_Create@20", "_FSOUND_Stream_Close@4",
    "_FSOUND_Stream_Play@8", "_FSOUND_Stream_PlayEx@16", "_FSOUND_Stream_Stop@4",
    "_FSOUND_Stream_SetPosition@8", "_FSOUND_Stream_GetPosition@4", "_FSOUND_Stream_SetTime@8",
    "_FSOUND_Stream_GetTime@4", "_FSOUND_Stream_GetLength@4", "_FSOUND_Stream_GetLengthMs@4",
    "_FSOUND_Stream_SetMode@8", "_FSOUND_Stream_GetMode@4", "_FSOUND_Stream_SetLoopPoints@12",
    "_FSOUND_Stream_SetLoopCount@8", "_FSOUND_Stream_GetOpenState@4", "_FSOUND_Stream_GetSample@4",
    "_FSOUND_Stream_CreateDSP@16", "_FSOUND_Stream_SetEndCallback@12",
    "_FSOUND_Stream_SetSyncCallback@12", "_FSOUND_Stream_AddSyncPoint@12",
    "_FSOUND_Stream_DeleteSyncPoint@4", "_FSOUND_Stream_GetNumSyncPoints@4",
    "_FSOUND_Stream_GetSyncPoint@8", "_FSOUND_Stream_GetSyncPointInfo@8",
    "_FSOUND_Stream_SetSubStream@8", "_FSOUND_Stream_GetNumSubStreams@4",
    "_FSOUND_Stream_SetSubStreamSentence@12", "_FSOUND_Stream_GetNumTagFields@8",
    "_FSOUND_Stream_GetTagField@24", "_FSOUND_Stream_FindTagField@20",
    "_FSOUND_Stream_Net_SetProxy@4", "_FSOUND_Stream_Net_GetLastServerStatus@0",
    "_FSOUND_Stream_Net_SetBufferProperties@12", "_FSOUND_Stream_Net_GetBufferProperties@12",
    "_FSOUND_Stream_Net_SetMetadataCallback@12", "_FSOUND_Stream_Net_GetStatus@20",
    "_FSOUND_CD_Play@8", "_FSOUND_CD_SetPlayMode@8", "_FSOUND_CD_Stop@4", "_FSOUND_CD_SetPaused@8",
    "_FSOUND_CD_SetVolume@8", "_FSOUND_CD_SetTrackTime@8", "_FSOUND_CD_OpenTray@8",
    "_FSOUND_CD_GetPaused@4", "_FSOUND_CD_GetTrack@4", "_FSOUND_CD_GetNumTracks@4",
    "_FSOUND_CD_GetVolume@4", "_FSOUND_CD_GetTrackLength@8", "_FSOUND_CD_GetTrackTime@4",
    "_FSOUND_DSP_Create@12", "_FSOUND_DSP_Free@4", "_FSOUND_DSP_SetPriority@8",
    "_FSOUND_DSP_GetPriority@4", "_FSOUND_DSP_SetActive@8", "_FSOUND_DSP_GetActive@4",
    "_FSOUND_DSP_GetClearUnit@0", "_FSOUND_DSP_GetSFXUnit@0", "_FSOUND_DSP_GetMusicUnit@0",
    "_FSOUND_DSP_GetFFTUnit@0", "_FSOUND_DSP_GetClipAndCopyUnit@0", "_FSOUND_DSP_MixBuffers@28",
    "_FSOUND_DSP_ClearMixBuffer@0", "_FSOUND_DSP_GetBufferLength@0",
    "_FSOUND_DSP_GetBufferLengthTotal@0", "_FSOUND_DSP_GetSpectrum@0",
    "_FSOUND_Reverb_SetProperties@4", "_FSOUND_Reverb_GetProperties@4",
    "_FSOUND_Reverb_SetChannelProperties@8", "_FSOUND_Reverb_GetChannelProperties@8",
    "_FSOUND_Record_SetDriver@4", "_FSOUND_Record_GetNumDrivers@0",
    "_FSOUND_Record_GetDriverName@4", "_FSOUND_Record_GetDriver@0", "_FSOUND_Record_StartSample@8",
    "_FSOUND_Record_Stop@0", "_FSOUND_Record_GetPosition@0", "_FMUSIC_LoadSong@4",
    "_FMUSIC_LoadSongEx@24", "_FMUSIC_GetOpenState@4", "_FMUSIC_FreeSong@4", "_FMUSIC_PlaySong@4",
    "_FMUSIC_StopSong@4", "_FMUSIC_StopAllSongs@0", "_FMUSIC_SetZxxCallback@8",
    "_FMUSIC_SetRowCallback@12", "_FMUSIC_SetOrderCallback@12", "_FMUSIC_SetInstCallback@12",
    "_FMUSIC_SetSample@12", "_FMUSIC_SetUserData@8", "_FMUSIC_OptimizeChannels@12",
    "_FMUSIC_SetReverb@4", "_FMUSIC_SetLooping@8", "_FMUSIC_SetOrder@8", "_FMUSIC_SetPaused@8",
    "_FMUSIC_SetMasterVolume@8", "_FMUSIC_SetMasterSpeed@8", "_FMUSIC_SetPanSeperation@8",
    "_FMUSIC_GetName@4", "_FMUSIC_GetType@4", "_FMUSIC_GetNumOrders@4", "_FMUSIC_GetNumPatterns@4",
    "_FMUSIC_GetNumInstruments@4", "_FMUSIC_GetNumSamples@4", "_FMUSIC_GetNumChannels@4",
    "_FMUSIC_GetSample@8", "_FMUSIC_GetPatternLength@8", "_FMUSIC_IsFinished@4",
    "_FMUSIC_IsPlaying@4", "_FMUSIC_GetMasterVolume@4", "_FMUSIC_GetGlobalVolume@4",
    "_FMUSIC_GetOrder@4", "_FMUSIC_GetPattern@4", "_FMUSIC_GetSpeed@4", "_FMUSIC_GetBPM@4",
    "_FMUSIC_GetRow@4", "_FMUSIC_GetPaused@4", "_FMUSIC_GetTime@4", "_FMUSIC_GetRealChannel@8",
    "_FMUSIC_GetUserData@4",
};

} // namespace Fmod3
