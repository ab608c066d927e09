# Runs cuedump on a generated sheet over the stand-in engine and compares its
# standard output byte for byte. Called with CUEDUMP, ENGINE_DIR, WORK and,
# for a Windows build, EMULATOR.
file(REMOVE_RECURSE "${WORK}")
set(run "${CUEDUMP}")
set(drive "")
if(EMULATOR)
  # The tool finds the engine beside itself; Wine sees the host's / as Z:.
  file(COPY "${CUEDUMP}" DESTINATION "${ENGINE_DIR}")
  get_filename_component(name "${CUEDUMP}" NAME)
  set(run "${EMULATOR}" "${ENGINE_DIR}/${name}")
  set(drive "Z:")
endif()
set(album "${WORK}/Café 夜")
file(MAKE_DIRECTORY "${album}")
string(REPEAT "x" 300 five_minutes)
file(WRITE "${album}/disc.wav" "${five_minutes}")
string(ASCII 239 187 191 bom)
string(ASCII 9 tab)
file(WRITE "${album}/sheet.cue"
  "${bom}PERFORMER \"Band\"\nFILE \"disc.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Tab${tab}here\"\n"
  "    PERFORMER \"Élan\"\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 02:58:00\n"
  "    INDEX 01 03:07:30\n  TRACK 03 AUDIO\n    INDEX 01 09:00:00\n")
execute_process(COMMAND ${run} "${drive}${album}/sheet.cue"
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
math(EXPR two "8 * (187 * 44100 + 30 * 588)")
math(EXPR end "8 * 300 * 44100")
set(file "${drive}${album}/disc.wav")
set(expected "${file}\t01 Élan - Tab here\t0\t${two}\t  3:07\t44100\n${file}\t02  - Two\t${two}\t${end}\t  1:52\t44100\n")
if(NOT rc EQUAL 0 OR NOT out STREQUAL expected)
  message(FATAL_ERROR "cuedump gave rc ${rc}\n--- out\n${out}\n--- expected\n${expected}\n--- err\n${err}")
endif()
execute_process(COMMAND ${run} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 2 OR NOT out STREQUAL "")
  message(FATAL_ERROR "cuedump without a sheet: rc ${rc}, out '${out}'")
endif()
