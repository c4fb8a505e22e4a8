# The VST 3 SDK as Debian ships it inside juce-modules-source-data (SDK 3.7.2 headers): only the
# interfaces and the SDK's own support classes, built once as a static position-independent library
# that the framework's binding and the host tool link. The SDK's own warnings are not ours.
set(TAL_VST3_SDK /usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK)
add_library(vst3sdk STATIC
  ${TAL_VST3_SDK}/pluginterfaces/base/coreiids.cpp
  ${TAL_VST3_SDK}/pluginterfaces/base/funknown.cpp
  ${TAL_VST3_SDK}/pluginterfaces/base/ustring.cpp
  ${TAL_VST3_SDK}/pluginterfaces/base/conststringtable.cpp
  ${TAL_VST3_SDK}/base/source/baseiids.cpp
  ${TAL_VST3_SDK}/base/source/fbuffer.cpp
  ${TAL_VST3_SDK}/base/source/fdebug.cpp
  ${TAL_VST3_SDK}/base/source/fobject.cpp
  ${TAL_VST3_SDK}/base/source/fstring.cpp
  ${TAL_VST3_SDK}/base/source/updatehandler.cpp
  ${TAL_VST3_SDK}/base/thread/source/flock.cpp
  ${TAL_VST3_SDK}/public.sdk/source/common/memorystream.cpp
  ${TAL_VST3_SDK}/public.sdk/source/common/pluginview.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/vstbus.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/vstcomponentbase.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/vsteditcontroller.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/vstinitiids.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/vstparameters.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/hosting/hostclasses.cpp
  ${TAL_VST3_SDK}/public.sdk/source/vst/hosting/pluginterfacesupport.cpp
  Sources/Audio/VST/PlugViewInterfaceIds.cpp
)
set_target_properties(vst3sdk PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(vst3sdk SYSTEM PUBLIC ${TAL_VST3_SDK})
target_compile_definitions(vst3sdk PUBLIC RELEASE=1)
target_compile_options(vst3sdk PRIVATE -w)
target_link_libraries(vst3sdk PUBLIC Threads::Threads)

# The VST 3 binding of the plug-in.
target_link_libraries(tal PUBLIC vst3sdk)
tal_sources(
  Sources/Audio/CAudioWrapper.cpp
  Sources/Audio/CAudioWrapperEventQueue.cpp
  Sources/Audio/HostSampleConversion.cpp
  Sources/Audio/VST/CAudioWrapperVST3.cpp
  Sources/Audio/VST/CAudioWrapperVST3Editor.cpp
  Sources/Audio/VST/CAudioRegistryProgramSource.cpp
  Sources/Audio/VST/CAudioWrapperVST3Parameter.cpp
  Sources/Audio/VST/CAudioWrapperVST3ProgramParameter.cpp
  Sources/Audio/VST/CInputStreamVST.cpp
  Sources/Audio/VST/COutputStreamVST.cpp
  Sources/Audio/VST/CPluginFactory.cpp
  Sources/Audio/VST/CSingleComponentEffect.cpp
  Sources/Audio/VST/ParamQueueEvents.cpp
  Sources/Audio/VST/SpeakerArrangements.cpp
  Sources/Audio/VST/VST3Entry.cpp
  Sources/Audio/VST/VSTText.cpp
)

tal_tests(audio
  tests/Audio/CAudioWrapperEventQueueTest.cpp
  tests/Audio/CAudioWrapperInstanceTest.cpp
  tests/Audio/CAudioWrapperTest.cpp
  tests/Audio/CFloatModeGuardTest.cpp
  tests/Audio/HostSampleConversionTest.cpp
  tests/Audio/VST/CAudioWrapperVST3EditorTest.cpp
  tests/Audio/VST/CAudioWrapperVST3EditorViewTest.cpp
  tests/Audio/VST/CAudioWrapperVST3ProgramParameterTest.cpp
  tests/Audio/VST/CAudioWrapperVST3Test.cpp
  tests/Audio/VST/ParamQueueEventsTest.cpp
  tests/Audio/VST/SpeakerArrangementsTest.cpp
  tests/Audio/VST/StreamAdapterVSTTest.cpp
)

# The wrapper's instance tests build a small instance from a description of their own.
if(TARGET tal_audio_tests)
  tal_compile_description(tests/fixtures/descriptions/wrapper-instance.xml ${TAL_COMPILED_DIR}/test-wrapper-instance.xml)
  tal_embed_resources(tal_audio_tests SYMBOL wrapperTestResources RESOURCES
    "SharedData.xml" ${TAL_COMPILED_DIR}/test-wrapper-instance.xml)
  # The editor view's tests open a small editor with a main window on the same instance.
  tal_compile_description(tests/fixtures/descriptions/editor-view-window.xml
    ${TAL_COMPILED_DIR}/test-editor-view-window.xml)
  tal_embed_resources(tal_audio_tests SYMBOL editorViewTestResources RESOURCES
    "SharedData.xml" ${TAL_COMPILED_DIR}/test-wrapper-instance.xml
    "UserInterface.xml" ${TAL_COMPILED_DIR}/test-editor-view-window.xml)
endif()

# The block loop's overhead per host sample over a pass-through graph.
tal_benchmark(tal_wrapper_loop_bench bench/Audio/WrapperLoopBench.cpp)
if(TARGET tal_wrapper_loop_bench)
  tal_compile_description(tests/fixtures/descriptions/wrapper-instance.xml ${TAL_COMPILED_DIR}/bench-wrapper-instance.xml)
  tal_embed_resources(tal_wrapper_loop_bench SYMBOL wrapperBenchResources RESOURCES
    "SharedData.xml" ${TAL_COMPILED_DIR}/bench-wrapper-instance.xml)
endif()
