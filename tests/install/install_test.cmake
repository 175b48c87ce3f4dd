# Installs the build in BUILD_DIR into a fresh prefix under SCRATCH and checks
# what a user gets there: both programs, runnable from the prefix (usage text,
# a small conversion each), and both manual pages.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DSCRATCH=... -DBINDIR=bin
#         -DMANDIR=share/man [-DGROFF=/usr/bin/groff] -P install_test.cmake

set(prefix "${SCRATCH}/prefix")
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")

execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}")
endif()

set(tonepick "${prefix}/${BINDIR}/tonepick")
set(seqconv "${prefix}/${BINDIR}/seqconv")
foreach(program IN ITEMS "${tonepick}" "${seqconv}")
  if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
    message(FATAL_ERROR "not installed: ${program}")
  endif()
endforeach()

# Runs a program; fails unless it exits with `code` and its output contains `text`.
function(expect_run code text)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT "${rc}" STREQUAL "${code}")
    message(FATAL_ERROR "${ARGN}\nexited with ${rc}, expected ${code}\n${out}${err}")
  endif()
  string(FIND "${out}" "${text}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${ARGN}\nprinted no \"${text}\":\n${out}")
  endif()
endfunction()

function(expect_files)
  foreach(f IN LISTS ARGN)
    if(NOT EXISTS "${f}")
      message(FATAL_ERROR "missing: ${f}")
    endif()
  endforeach()
endfunction()

expect_run(0 "Usage: tonepick input... output_dir [options]" "${tonepick}")
expect_run(0 "tonepick ${VERSION}" "${tonepick}" --version)
expect_run(0 "Usage: seqconv sequences instruments outdir [flags]" "${seqconv}")
expect_run(1 "Error: Can't open file \"${SCRATCH}/missing.vgm\"" "${tonepick}" "${SCRATCH}/missing.vgm" "${SCRATCH}/x")

# A small conversion with each installed program.
expect_run(0 "YM2612 Clock: 7670454" "${tonepick}" "${SOURCE_DIR}/examples/demo.vgm" "${SCRATCH}/tonepick" -p tfi)
expect_files("${SCRATCH}/tonepick/vgm.mid" "${SCRATCH}/tonepick/patch_00.tfi" "${SCRATCH}/tonepick/sample_000.wav"
             "${SCRATCH}/tonepick/datablock_00(00).bin")
# seqconv makes its output directory as tonepick does.
expect_run(0 "maxtime = " "${seqconv}" "${SOURCE_DIR}/examples/demo_sequences.bin"
           "${SOURCE_DIR}/examples/demo_instruments.bin" "${SCRATCH}/seqconv" csl)
expect_files("${SCRATCH}/seqconv/000.mid" "${SCRATCH}/seqconv/000.txt" "${SCRATCH}/seqconv/002.mid")

# The manual pages, in man format, named after the programs.
foreach(page IN ITEMS tonepick seqconv)
  set(file "${prefix}/${MANDIR}/man1/${page}.1")
  expect_files("${file}")
  file(STRINGS "${file}" title LIMIT_COUNT 1)
  string(TOUPPER "${page}" upper)
  if(NOT title MATCHES "^\\.TH ${upper} 1 ")
    message(FATAL_ERROR "${file} does not start with a .TH ${upper} 1 line: ${title}")
  endif()
  if(GROFF)
    # groff reports malformed requests and macros as warnings on stderr.
    execute_process(COMMAND "${GROFF}" -man -Tutf8 -ww -z "${file}"
                    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT err STREQUAL "")
      message(FATAL_ERROR "groff complains about ${file}:\n${err}")
    endif()
  endif()
endforeach()

file(REMOVE_RECURSE "${SCRATCH}")
message(STATUS "installed into a temporary prefix and ran both programs from it")
