# Regenerates the one-shots into OUT with GENERATOR and compares them byte for
# byte with the committed REFERENCE folder.
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${GENERATOR} ${OUT} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "payload-gen failed: ${result}")
endif()
foreach(name VELK_Bell_C4.wav VELK_Pluck_C4.wav VELK_Soft_C4.wav)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/${name} ${REFERENCE}/${name} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${name} differs from the committed file: regenerate payload/ with payload-gen")
  endif()
endforeach()
