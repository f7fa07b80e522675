# The format bindings know the product only through its neutral interfaces:
# no file in a binding's folder includes a header of src/plugin or
# src/editor other than the framework headers listed here. A product header
# there would tie the binding to this one effect again.
#
#   cmake -DSOURCE_DIR=<src> [-DBINDINGS_ROOT=<folder>] -P check-binding-includes.cmake
#
# SOURCE_DIR holds plugin/ and editor/; the bindings are the vst3, lv2 and
# clap folders of BINDINGS_ROOT (SOURCE_DIR unless given). A binding folder
# that does not exist is skipped.
cmake_minimum_required(VERSION 3.20)

# Everything in src/plugin that knows no effect: the plug-in and processing
# interfaces, the running of a block on a host's buffers, the block's own
# parameter changes, the queues between threads, MIDI messages, the factory function's declaration and
# the vendor's addresses. src/editor is the
# product's editor alone; bindings reach it through toolkit/IEffectEditor.h.
set(neutral_plugin_headers
  IBlockParamChanges.h
  IEffectAudioRunner.h
  IEffectBase.h
  IEffectCommandQueue.h
  IEffectPlugin.h
  IEffectProcessor.h
  IEffectQueue.h
  IMidiMsg.h
  IMidiQueue.h
  IPublishedValue.h
  MakeEffect.h
  VendorInfo.h
)
set(neutral_editor_headers)
set(bindings vst3 lv2 clap)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}/plugin" OR NOT IS_DIRECTORY "${SOURCE_DIR}/editor")
  message(FATAL_ERROR "SOURCE_DIR must name the folder that holds plugin/ and editor/")
endif()
if(NOT BINDINGS_ROOT)
  set(BINDINGS_ROOT "${SOURCE_DIR}")
endif()

set(offences "")
set(offence_count 0)
set(include_count 0)
foreach(binding IN LISTS bindings)
  set(folder "${BINDINGS_ROOT}/${binding}")
  if(NOT IS_DIRECTORY "${folder}")
    continue()
  endif()
  file(GLOB_RECURSE sources "${folder}/*.h" "${folder}/*.hpp" "${folder}/*.c" "${folder}/*.cc" "${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"][^>\"]+[>\"]")
    get_filename_component(source_dir "${source}" DIRECTORY)
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" included "${line}")
      math(EXPR include_count "${include_count} + 1")
      get_filename_component(name "${included}" NAME)
      get_filename_component(included_dir "${included}" DIRECTORY)
      get_filename_component(owner "${included_dir}" NAME)
      # A bare name is the binding's own header when it sits beside the file.
      if(owner STREQUAL "" AND EXISTS "${source_dir}/${name}")
        continue()
      endif()
      foreach(part plugin editor)
        if((owner STREQUAL part OR owner STREQUAL "") AND EXISTS "${SOURCE_DIR}/${part}/${name}")
          if(NOT name IN_LIST neutral_${part}_headers)
            file(RELATIVE_PATH shown "${BINDINGS_ROOT}" "${source}")
            string(APPEND offences "\n  ${shown}: ${included} (src/${part}/${name})")
            math(EXPR offence_count "${offence_count} + 1")
          endif()
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()

if(include_count EQUAL 0)
  message(FATAL_ERROR "No includes found under ${BINDINGS_ROOT}: nothing was checked")
endif()
if(offence_count GREATER 0)
  message(FATAL_ERROR "${offence_count} product header(s) included by a format binding:${offences}")
endif()
message(STATUS "${include_count} includes of the format bindings checked: no product header")
