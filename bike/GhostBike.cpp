#include "bike/GhostBike.h"

#include "bike/Bike_base.h"
#include "framework/MotionBlend.h"
#include "framework/graphics/AxDirect3D.h"
#include "framework/graphics/AxModelCache.h"
#include "framework/graphics/AxShaderManager.h"

namespace {
// Where the player's wheels sit under its body.
constexpr float kWheelHeight = 0.23f;
constexpr float kFrontAxle = 0.53f;
constexpr float kRearAxle = -0.56f;
}  // namespace

GhostBike::GhostBike(AxModelCache& modelCache) {
    model = modelCache.GetModel("Data/Bike/bike001.gltf");
    wheelModel = modelCache.GetModel("Data/Bike/wheel002.gltf");
}

void GhostBike::Draw(const GhostPose& pose) {
    AxDirect3D& device = AxDirect3D::GetInstance();
    AxModelShader& shader = AxShaderManager::GetInstance().modelShader;
    if (!noDepthWrite) noDepthWrite = device.CreateDepthStencilState(true, false);
    unsigned savedRef = 0;
    const AxDepthStencilStatePtr saved = device.GetDepthStencilState(&savedRef);
    // Tested against the course but leaving no depth, so nothing behind it is lost.
    device.SetDepthStencilState(noDepthWrite, 0);
    shader.SetToDevice();
    shader.tint = Vector4(kTint[0], kTint[1], kTint[2], kTint[3]);
    const Matrix world = Motion().World(
        this, BikeMotion::GetInstance().MakeWorld(pose.yaw, pose.lean, Vector3(pose.x, pose.y, pose.z)));
    shader.worldMatrix = world;
    shader.DrawModel(model, nullptr);
    for (float axle : {kFrontAxle, kRearAxle}) {
        shader.worldMatrix = Matrix::CreateTranslation(0.0f, kWheelHeight, axle) * world;
        shader.DrawModel(wheelModel, nullptr);
    }
    shader.tint = Vector4(1.0f, 1.0f, 1.0f, 1.0f);
    device.SetDepthStencilState(saved, savedRef);
}
