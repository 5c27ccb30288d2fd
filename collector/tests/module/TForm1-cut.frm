// Gasbridge's main window.
object Form1: TForm1
  Left = 200
  Top = 120
  BorderStyle = bsSingle
  Caption = 'ABL Data Input Module'
  ClientHeight = 428
  ClientWidth = 560
  Color = clBtnFace
  ShowHint = True
  OnCreate = FormCreate
  OnShow = FormShow
  OnCloseQuery = FormCloseQuery
  OnDestroy = FormDestroy
  object gbComSel: TGroupBox
    Left = 8
    Top = 8
    Width = 260
    Height = 88
    Caption = 'Data Source'
    Hint = 'Select communication port'
    OnClick = gbComSelClick
    object lblABLIdentification: TLabel
      Left = 12
      Top = 22
      Width = 236
      Height = 16
      Caption = 'ABL Unknown'
      ShowAccelChar = False
    end
    object ComSel: TComboBox
      Left = 12
      Top = 50
      Width = 236
      Height = 24
      Style = csDropDownList
      Hint = 'Select communication port from the list'
      Visible = False
      Items.Strings = (
        'Disabled'
        'COM1'
        'COM2'
        'COM3'
        'COM4'
        'COM5'
        'COM6'
        'COM7'
        'COM8'
        'COM9'
        'COM10'
        'COM11'
        'COM12'
        'COM13'
        'COM14'
        'COM15'
        'COM16'
        'Network (Wardvorta)'
        'Network (ABL)')
      ItemIndex = 0
      OnChange = ComSelChange
    end
    object btnComSel: TButton
      Left = 12
      Top = 48
      Width = 160
      Height = 27
      Caption = 'Change data source'
      Hint = 'Change communication port by clicking'
      OnClick = btnComSelClick
    end
  end
  object cbAutoStart: TCheckBox
    Left = 280
    Top = 10
    Width = 272
    Height = 20
    Caption = 'AutoStart'
    Hint = 'Check to start collection automatically when connection has been established'
    OnClick = cbAutoStartClick
  end
  object cbAutoCreate: TCheckBox
    Left = 280
    Top = 32
    Width = 272
    Height = 20
    Caption = 'Create Patients Automatically'
    Hint = 'Check to automatically create all patients registered in the ABL Blood Gas Analyzer'
    OnClick 