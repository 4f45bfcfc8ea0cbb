"""Trains a small convolutional network with PyTorch on a tav list made from
scikit-learn's bundled handwritten digits, and prints its held-out accuracy.

    python3 train_torch.py [--list digits.tav] [--epochs 10] [--workers 0] [--seed 1]

The digits (1,797 images of 8x8 pixels, values 0-16) become uint8 images with
the class names "0".."9" in a list file; training reads that file through
tav.torch.ListDataset and a DataLoader, as it would read any list.
"""
import argparse
import os
import tempfile

import numpy as np
import torch
from sklearn.datasets import load_digits
from torch import nn
from torch.utils.data import DataLoader, Subset

import tav
from tav.torch import ListDataset


def make_list(path):
    digits = load_digits()
    images = (digits.images * (255 / 16)).round().astype(np.uint8)  # (1797, 8, 8)
    lst = tav.List.from_arrays(images, [str(d) for d in digits.target])
    lst.comment = "scikit-learn's digits, 8x8"
    lst.store(path)


def to_tensor(image):
    return torch.from_numpy(image).float().div_(255).unsqueeze(0)  # (1, 8, 8) in [0, 1]


def accuracy(model, loader):
    model.eval()
    right = total = 0
    with torch.no_grad():
        for x, y in loader:
            right += (model(x).argmax(1) == y).sum().item()
            total += len(y)
    return right / total


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", help="the list file to write and train on (default: a temporary one)")
    parser.add_argument("--epochs", type=int, default=10)
    parser.add_argument("--workers", type=int, default=0, help="DataLoader worker processes")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    torch.manual_seed(args.seed)
    torch.set_num_threads(1)

    with tempfile.TemporaryDirectory() as folder:
        path = args.list or os.path.join(folder, "digits.tav")
        make_list(path)
        data = ListDataset(path, transform=to_tensor)
        order = torch.randperm(len(data), generator=torch.Generator().manual_seed(args.seed)).tolist()
        held_out = len(data) // 4
        train = DataLoader(Subset(data, order[held_out:]), batch_size=32, shuffle=True,
                           num_workers=args.workers)
        test = DataLoader(Subset(data, order[:held_out]), batch_size=256, num_workers=args.workers)

        model = nn.Sequential(
            nn.Conv2d(1, 16, 3, padding=1), nn.ReLU(),
            nn.Conv2d(16, 32, 3, padding=1), nn.ReLU(), nn.MaxPool2d(2),  # (32, 4, 4)
            nn.Flatten(), nn.Linear(32 * 4 * 4, 64), nn.ReLU(), nn.Linear(64, len(data.labels)))
        optimiser = torch.optim.Adam(model.parameters(), lr=3e-3)
        # The step size falls to a tenth over the run, which settles the last epochs.
        schedule = torch.optim.lr_scheduler.StepLR(optimiser, step_size=max(1, args.epochs // 3), gamma=0.46)
        for epoch in range(args.epochs):
            model.train()
            for x, y in train:
                optimiser.zero_grad()
                nn.functional.cross_entropy(model(x), y).backward()
                optimiser.step()
            schedule.step()
        print(f"{len(data)} digits ({len(data) - held_out} trained on, {held_out} held out), "
              f"{args.epochs} epochs: held-out accuracy {accuracy(model, test):.1%}")


if __name__ == "__main__":
    main()
