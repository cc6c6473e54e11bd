// Command, string and resource identifiers.
#pragma once

enum : int {
    IDR_MAINFRAME = 128,
    IDD_ABOUTBOX = 100,

    ID_PLAY_PLAYBACK = 32771,
    ID_PLAY_PAUSE = 32772,
    ID_PLAY_STOP = 32773,
    ID_AUDIO_VOLUME_UP = 32774,
    ID_AUDIO_VOLUME_DOWN = 32775,
    ID_VIEW_BITSTREAM_INFO = 32777,
    ID_PLAY_LOOP = 32778,
    ID_PLAY_FAST_FORWARD = 32779,
    ID_PLAY_REWIND = 32780,
    ID_AUDIO_SMOOTH = 32781,
    // The terminal player's commands; the window has the queue's three too.
    ID_PLAY_TOGGLE_PAUSE = 32790,
    ID_PLAY_NEXT_FILE = 32791,
    ID_PLAY_PREVIOUS_FILE = 32792,
    ID_PLAY_SEEK_FORWARD = 32793,
    ID_PLAY_SEEK_BACK = 32794,
    ID_PLAY_JUMP_FORWARD = 32795,
    ID_PLAY_JUMP_BACK = 32796,
    ID_PLAY_TO_START = 32797,
    ID_PLAY_TOGGLE_LOOP = 32798,
    ID_AUDIO_MUTE = 32799,
    ID_VIEW_KEYS = 32800,
    ID_AUDIO_NEXT_TRACK = 32801,
    // The programme of a dual-channel stream: the Audio menu's four, in the
    // order of EDualChannel, and the terminal player's key that cycles them.
    ID_AUDIO_CHANNEL_BOTH = 32810,
    ID_AUDIO_CHANNEL_FIRST = 32811,
    ID_AUDIO_CHANNEL_SECOND = 32812,
    ID_AUDIO_CHANNEL_MIX = 32813,
    ID_AUDIO_CHANNEL_NEXT = 32814,
    // The ReplayGain of the streams started next, in the order of EReplayGain.
    ID_AUDIO_REPLAYGAIN_OFF = 32815,
    ID_AUDIO_REPLAYGAIN_TRACK = 32816,
    ID_AUDIO_REPLAYGAIN_ALBUM = 32817,
    ID_FILE_OPEN_LOCATION = 32820,
    // The Audio menu's tracks of a container, the first eight of them: each
    // stands for track 1 + (ID - ID_AUDIO_TRACK_1).
    ID_AUDIO_TRACK_1 = 32830,
    ID_AUDIO_TRACK_2 = 32831,
    ID_AUDIO_TRACK_3 = 32832,
    ID_AUDIO_TRACK_4 = 32833,
    ID_AUDIO_TRACK_5 = 32834,
    ID_AUDIO_TRACK_6 = 32835,
    ID_AUDIO_TRACK_7 = 32836,
    ID_AUDIO_TRACK_8 = 32837,
    ID_PLAY_PLAY_PAUSE = 32782,

    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_CLOSE = 57602,
    ID_FILE_MRU_FILE1 = 57616,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_CONTEXT_HELP = 57669,
    ID_HELP = 57670,
    ID_DEFAULT_HELP = 57671,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,

    ID_INDICATOR_CAP = 59137,
    ID_INDICATOR_NUM = 59138,
    ID_INDICATOR_SCRL = 59139,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,

    AFX_IDS_APP_TITLE = 57344,
    AFX_IDS_IDLEMESSAGE = 57345,
};
