// A private Xvfb server for one test process: the server picks a free
// display number itself, so tests running side by side never collide.
#pragma once

#include <QString>

#include <sys/types.h>

class PrivateXServer
{
public:
    // Starts Xvfb (no reset, no TCP, default auto-repeat) and waits until it
    // accepts clients; display() is empty when it could not start.
    PrivateXServer();
    ~PrivateXServer();
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    QString display() const { return name; }
    QString failure() const { return why; }

private:
    pid_t pid = -1;
    QString name;
    QString why;
};
