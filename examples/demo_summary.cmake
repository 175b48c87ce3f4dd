# Prints what the demo target wrote where. Run as
#   cmake -DDEMO_OUT=<dir> -P demo_summary.cmake
# with <dir> holding tonepick/ and seqconv/ as the demo target fills them.

# Number of tracks in a Standard MIDI File: the 16-bit big-endian count at
# offset 10 of the header chunk.
function(midi_track_count file out_var)
  file(READ "${file}" head LIMIT 12 HEX)
  string(SUBSTRING "${head}" 20 4 count_hex)
  math(EXPR count "0x${count_hex}")
  set(${out_var} ${count} PARENT_SCOPE)
endfunction()

function(count_files out_var)
  file(GLOB found ${ARGN})
  list(LENGTH found n)
  set(${out_var} ${n} PARENT_SCOPE)
endfunction()

set(tp "${DEMO_OUT}/tonepick")
set(sc "${DEMO_OUT}/seqconv")

count_files(instruments "${tp}/patch_*")
count_files(samples "${tp}/sample_*.wav")
count_files(blocks "${tp}/datablock_*.bin")
midi_track_count("${tp}/vgm.mid" vgm_tracks)

message("")
message("Demo results")
message("  tonepick examples/demo.vgm -> ${tp}/")
message("    vgm.mid                MIDI file, tracks: ${vgm_tracks} (tempo, 6 FM, 4 PSG)")
message("    patch_NN.gems          FM instruments: ${instruments}")
message("    sample_NNN.wav         DAC samples: ${samples}")
message("    datablock_NN(TT).bin   data blocks: ${blocks}")

file(GLOB songs "${sc}/*.mid")
list(LENGTH songs song_count)
set(all_tracks 0)
message("  seqconv examples/demo_sequences.bin examples/demo_instruments.bin (flags cs) -> ${sc}/")
message("    songs: ${song_count}, each NNN.mid (MIDI file) and NNN.txt (patch and DAC listing)")
foreach(mid IN LISTS songs)
  get_filename_component(name "${mid}" NAME_WE)
  midi_track_count("${mid}" tracks)
  math(EXPR channels "${tracks} - 1")
  math(EXPR all_tracks "${all_tracks} + ${tracks}")
  file(STRINGS "${sc}/${name}.txt" patch_lines REGEX "^Patch ")
  file(STRINGS "${sc}/${name}.txt" dac_lines REGEX "^DAC ")
  list(LENGTH patch_lines patches)
  list(LENGTH dac_lines dac_keys)
  message("    ${name}.mid  tracks: ${tracks} (conductor + ${channels} channels)   ${name}.txt  patches: ${patches}, DAC keys: ${dac_keys}")
endforeach()
message("    tracks in all songs: ${all_tracks}")
message("")
message("Play a MIDI file with a General MIDI synthesizer, e.g.: timidity ${sc}/000.mid")
