#pragma once
// The usage text tonepick prints, as the tool's users read it; the contact
// line after it is checked separately.

inline constexpr const char* kExpectedUsage =
    "Usage: tonepick input... output_dir [options]\n\n"
    "      input - vgm or vgz file path, or a whole pack of them:\n"
    "              a folder, a .zip archive or an .m3u playlist\n"
    "      output_dir - output directory (for a pack: a folder per song,\n"
    "                   instruments/, kit/, instruments.txt, songs.txt)\n\n"
    "Options (anywhere on the line; -- ends them):\n"
    "  -p - (patch) instruments format:\n"
    "        gems - internal GEMS 2.8 format (default)\n"
    "        tyi  - Tiido's instrument file\n"
    "        tfi  - TFM Music Maker instrument file\n"
    "        eif  - ECHO instrument file\n"
    "        y12  - GensKMOD YM2612 channel dump\n"
    "        vgi  - VGM Music Maker instrument file\n"
    "        dmp  - DefleMask instrument file\n"
    "        dmp0 - DefleMask instrument file version 0\n"
    "        smps - internal SMPS format (Sonic 3)\n\n"
    "  -pext - instruments extension (default: format name)\n\n"
    "  -m - MIDI file contents:\n"
    "        plain  - notes and pitch bends at velocity 127 (default)\n"
    "        levels - also velocities, expression and pan from the chips' levels\n\n"
    "  -s - samples:\n"
    "        stretch - one file per stretch of DAC streaming (default)\n"
    "        kit     - one file per distinct sample, kit.txt, a DAC drum track in vgm.mid\n\n"
    "  -i - instrument files:\n"
    "        all    - one file per distinct instrument heard (default)\n"
    "        unique - no two files with the same bytes\n\n"
    "  -j - songs of a pack converted at once (default: number of cores)\n\n"
    "  -h, --help - this text;  --version - the version\n\n"
    "      Warning: all outputs will be overwrited automatically.\n\n";
