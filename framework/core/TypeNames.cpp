// The element type-name table and the singleton-kind ids of the wider framework family.
#include "framework/core/TypeNames.h"

namespace QRV2 {

namespace {
// Indexed by type id 0..182; positions without a name belong to no element kind.
const char* const kTypeNames[183] = {
    "Void",                        // 0
    nullptr,                       // 1
    "String",                      // 2
    "ElementContainer",            // 3
    "StaticSizeElementIterator",   // 4
    "DynamicSizeElementIterator",  // 5
    "ElementTypeFilter",           // 6
    "ElementNameFilter",           // 7
    "StaticElementArray",          // 8
    "List",                        // 9
    "ListEntry",                   // 10
    "SystemApp",                   // 11
    "SystemTime",                  // 12
    "FilePath",                    // 13
    "FileFunc",                    // 14
    "FileSystemIterator",          // 15
    "BinaryStream",                // 16
    "Archive",                     // 17
    "ArchiveEntry",                // 18
    "CompressDevice",              // 19
    "CompressStream",              // 20
    "MemoryStream",                // 21
    "InetFile",                    // 22
    "SceneGraph",                  // 23
    "GroupCache",                  // 24
    "Viewport",                    // 25
    "ViewportFrame",               // 26
    "Node",                        // 27
    "Matrix",                      // 28
    "Mesh",                        // 29
    "MeshFrame",                   // 30
    "Camera",                      // 31
    "CameraFrame",                 // 32
    "Light",                       // 33
    "LightFrame",                  // 34
    "FaceSegment",                 // 35
    "VertexSegment",               // 36
    "TextureFragment",             // 37
    "Material",                    // 38
    "Texture",                     // 39
    "Bitmap",                      // 40
    "Wave",                        // 41
    "PositionArray",               // 42
    "NormalArray",                 // 43
    "Quaternion",                  // 44
    "Translation",                 // 45
    "UVArray",                     // 46
    "ColorArray",                  // 47
    "FaceArray",                   // 48
    "File",                        // 49
    "Physics",                     // 50
    "PrimitiveSphere",             // 51
    nullptr,                       // 52
    nullptr,                       // 53
    "Animation",                   // 54
    "PlanTool",                    // 55
    "PlanUtil",                    // 56
    "Floor",                       // 57
    "Room",                        // 58
    "RoomObject",                  // 59
    "RoomManager",                 // 60
    "Point",                       // 61
    "Wall",                        // 62
    "WallObject",                  // 63
    "Hole",                        // 64
    "CategoryNameFilter",          // 65
    "Polygonizer",                 // 66
    "BPlanTool",                   // 67
    "BPlanUtil",                   // 68
    "BFloor",                      // 69
    "BRoom",                       // 70
    "BRoomManager",                // 71
    "BPoint",                      // 72
    "BWall",                       // 73
    "BHole",                       // 74
    "BPolygonizer",                // 75
    "Encode",                      // 76
    "FFT",                         // 77
    "Allocate",                    // 78
    "BlokData",                    // 79
    "CombineFrames",               // 80
    "HannMultiWindow",             // 81
    "Masking",                     // 82
    "ReadWriteFrame",              // 83
    "Scale",                       // 84
    "Profiles",                    // 85
    "UnAllocate",                  // 86
    "UnScale",                     // 87
    "TextBitmap",                  // 88
    "Decode",                      // 89
    nullptr,                       // 90
    nullptr,                       // 91
    nullptr,                       // 92
    nullptr,                       // 93
    nullptr,                       // 94
    "WaveConvert",                 // 95
    "HtmlManager",                 // 96
    "ImageGenerator",              // 97
    "Triangulator",                // 98
    "StringSpliter",               // 99
    nullptr,                       // 100
    "Uninstaller",                 // 101
    "VideoDriver",                 // 102
    "Window",                      // 103
    nullptr,                       // 104
    nullptr,                       // 105
    nullptr,                       // 106
    "Screen",                      // 107
    "Renderer",                    // 108
    "BitmapDX7",                   // 109
    "SceneGraphUtil",              // 110
    "GeometryUtil",                // 111
    "StringUtil",                  // 112
    "Keyboard",                    // 113
    "Mouse",                       // 114
    "CubeToSphereMapConverter",    // 115
    "PlanEditor",                  // 116
    "RayIntersect",                // 117
    "SystemConf",                  // 118
    "Buffer",                      // 119
    "VirtualMachine",              // 120
    "SAXXMLReader",                // 121
    "PropertyReader",              // 122
    "Property",                    // 123
    "PropertySet",                 // 124
    "GridObject",                  // 125
    "Command",                     // 126
    "MessageQueue",                // 127
    "LightRender",                 // 128
    "ScriptEngine",                // 129
    nullptr,                       // 130
    "SGOptimizer",                 // 131
    "FileDownloader",              // 132
    nullptr,                       // 133
    "ObjectLibrary",               // 134
    "SceneGraphScript",            // 135
    nullptr,                       // 136
    "PropertyWriter",              // 137
    "MemoryProfile",               // 138
    "ObjectGroupFilter",           // 139
    "ObjectCategoryFilter",        // 140
    "CompositeElementFilter",      // 141
    "EditorSelection",             // 142
    "ObjectTypeFilter",            // 143
    "FileDownloadQueue",           // 144
    "StillGenerator",              // 145
    "ModuleContainer",             // 146
    "PlanEditorFactory",           // 147
    "ViewerModule",                // 148
    "ViewerFactory",               // 149
    "MessageModule",               // 150
    "DownloadModule",              // 151
    "ScriptModule",                // 152
    "MainWindowModule",            // 153
    "CameraTourGenerator",         // 154
    "Integer",                     // 155
    "TimeLine",                    // 156
    "TimeLinePosKey",              // 157
    "InputManager",                // 158
    "InformationProbe",            // 159
    "DiscreteLOD",                 // 160
    "LODRangeInfo",                // 161
    "DownloadItem",                // 162
    "EventHandler",                // 163
    "NodeDistEvent",               // 164
    "Selection",                   // 165
    "NetClient",                   // 166
    "Player",                      // 167
    "Collider",                    // 168
    "InsideSphereResult",          // 169
    "UploadModule",                // 170
    "PlanEditSponsorGenerator",    // 171
    "FormPoster",                  // 172
    "Case",                        // 173
    "ViewerShell",                 // 174
    "InterpolationManager",        // 175
    "FilePathManager",             // 176
    "FileManager",                 // 177
    nullptr,                       // 178
    "EventManager",                // 179
    nullptr,                       // 180
    nullptr,                       // 181
    "Raytracer",                   // 182
};

// Ids whose elements may be registered as singletons (sorted).
const std::uint32_t kSingletonIds[] = {
    0,   11,  12,  14,  23,  24,  55,  56,  60,  102, 103, 107, 108, 110, 111, 112, 113, 114, 124,
    129, 132, 134, 138, 144, 146, 148, 150, 151, 152, 153, 158, 163, 165, 166, 170, 175, 177, 179};
}  // namespace

const char* TypeNameOf(std::uint32_t typeId) {
    return typeId < sizeof(kTypeNames) / sizeof(kTypeNames[0]) ? kTypeNames[typeId] : nullptr;
}

bool IsSingletonTypeId(std::uint32_t typeId) {
    for (std::uint32_t id : kSingletonIds) {
        if (id == typeId) return true;
    }
    return false;
}

}  // namespace QRV2
