# Records the demonstration log Demo.HED + Demo.VIV on the simulated logger, through the program's own
# recording path (quelt acquire on simulated time), reproducibly: a fixed scenario, seed, length and
# date. Run by the build with -DQUELT=<quelt> -DDATA=<installation data> -DWORK=<scratch> -DOUT=<Demo>.

foreach(var QUELT DATA WORK OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "demo_log.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/home" "${WORK}/config" "${OUT}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "HOME=${WORK}" "XDG_CONFIG_HOME=${WORK}/config" "QUELT_HOME=" "QUELT_DATA_DIR=${DATA}"
          "${QUELT}" --home "${WORK}/home" --device sim acquire --fast --scenario deviated --seed 2024 --lines 2400
          --plain-name --out "${WORK}/Demo" --down --orientation highside
          --well "Date=02 March 2026" --well "Wellname=DEMO-1" --well "Fieldname=Simulated hole" --well "DateRun1=02 March 2026"
          --well "Location=Demonstration log, simulated logger"
  RESULT_VARIABLE rc
  OUTPUT_QUIET
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "The demonstration log could not be recorded (exit ${rc}):\n${err}")
endif()

# Installation data names: Demo.HED and Demo.VIV, and the header marks the log as the demonstration log.
file(READ "${WORK}/Demo.HED" header)
string(REPLACE "\nFileName=Demo.viv\n" "\nFileName=Demo.VIV\n" header "${header}")
string(REPLACE "\n\n[Channel0]\n" "\nDemoFile=yes\n\n[Channel0]\n" header "${header}")
file(WRITE "${OUT}/Demo.HED" "${header}")
file(COPY_FILE "${WORK}/Demo.viv" "${OUT}/Demo.VIV")
file(REMOVE_RECURSE "${WORK}")
